' A VBScript host's view of DataObject: created by its registered name,
' reached only through the late-bound methods of IDataValue. Run by
' "cscript //nologo client_test.vbs" once zk_data_register.js has registered
' the DLL. The exit code is the number of failed checks; each failure names
' its check.
'
' The non-ASCII text comes from client_text.txt (UTF-16LE with a byte order
' mark, read through the FileSystemObject), which names this file's folder as
' its only argument: Wine's cscript reads script files in the ANSI code page
' only, and its VBScript has no ChrW.
'
' VBScript hands a variable to a method by reference (VT_VARIANT|VT_BYREF);
' the module's VARIANT parameters follow it one level, so variables go in as
' they are.
Option Explicit

Const E_INVALIDARG = &H80070057
' What a VBScript engine may report E_INVALIDARG as instead: its own error
' "Invalid procedure call or argument" (Wine's does).
Const VBS_INVALID_ARGUMENT = 5
Const NONE_TYPE = 0, STR_TYPE = 1, INT_TYPE = 2, LIST_TYPE = 3, MAP_TYPE = 4
Const INT16_KIND = 3, TEXT_KIND = 12

Dim failures, lastCheck, text
failures = 0
lastCheck = "(none)"

' e with acute accent, the CJK character for "middle", an emoji (a surrogate
' pair): 2, 3 and 4 bytes of UTF-8.
Function ReadText()
    Dim files, stream
    Set files = CreateObject("Scripting.FileSystemObject")
    Set stream = files.OpenTextFile(files.BuildPath(WScript.Arguments(0), "client_text.txt"), 1, False, -1)
    ReadText = stream.ReadAll()
    stream.Close
End Function

Function Middle()
    Middle = Mid(text, 2, 1)
End Function

Sub Check(name, passed)
    lastCheck = name
    If passed Then Exit Sub
    WScript.Echo "FAILED: " & name
    failures = failures + 1
End Sub

Function Create()
    Set Create = CreateObject("ZkData.DataObject")
End Function

' The error number of Type put, or 0 when the put succeeds.
Function TypePutError(node, newType)
    On Error Resume Next
    node.Type = newType
    TypePutError = Err.Number
    Err.Clear
End Function

Function BuildsAMap()
    Dim map, n, name
    Set map = Create()
    Check "a new object is None", map.Type = NONE_TYPE
    map.Type = MAP_TYPE
    map.Item("name") = "abc"
    map.Item("n") = 5  ' a VBScript Integer: VT_I2
    map.Item(Middle()) = "middle"
    Check "Type of the map", map.Type = MAP_TYPE
    Check "Count of the map", map.Count = 3
    Check "KeyAt 0", map.KeyAt(0) = "name"
    Check "KeyAt 1", map.KeyAt(1) = "n"
    Check "KeyAt 2 gives the non-ASCII key back", map.KeyAt(2) = Middle()
    Check "HasItem of a key", map.HasItem("n") = True
    Check "HasItem of a missing key", map.HasItem("missing") = False
    Check "HasItem adds no key", map.Count = 3
    Set n = map.Item("n")
    Check "an integer item's Type", n.Type = INT_TYPE
    Check "an integer item's Kind is Int16", n.Kind = INT16_KIND
    Check "an integer item's Value is an Integer again", n.Value = 5 And VarType(n.Value) = vbInteger
    Check "IsEqual with the same integer", n.IsEqual(5) = True
    Check "IsEqual with another integer", n.IsEqual(6) = False
    n.Value = 6  ' the child is a live view into the map
    Check "a change through a child reaches the map", map.Item("n").Value = 6
    Set name = map.Item("name")
    Check "a text item's Type", name.Type = STR_TYPE
    Check "a text item's Kind", name.Kind = TEXT_KIND
    Check "a text item's Value", name.Value = "abc" And VarType(name.Value) = vbString
    Set BuildsAMap = map
End Function

Sub BuildsAList(map)
    Dim list
    Set list = Create()
    list.Element(0) = "first"
    list.Element(2) = 7
    Check "Type of the list", list.Type = LIST_TYPE
    Check "Count of the list", list.Count = 3
    Check "the element skipped over is None", list.Element(1).Type = NONE_TYPE
    Check "Element 0", list.Element(0).Value = "first"
    Check "Element 2", list.Element(2).Value = 7
    list.Element(1) = "second"  ' two None nodes are never equal, so IsEqual below needs none
    Set map.Item("list") = list  ' putref: stores a copy of the list's tree
    Check "a list stored in a map", map.Item("list").Count = 3
    list.Element(3) = 8
    Check "the stored list is a copy", map.Item("list").Count = 3
End Sub

Sub CopiesThroughValue(map)
    Dim copy
    Set copy = Create()
    Set copy.Value = map
    Check "Value putref with an object copies its tree", copy.Type = MAP_TYPE And copy.Count = map.Count
    Check "IsEqual of the copy", copy.IsEqual(map) = True
    copy.Item("extra") = 1
    Check "IsEqual after the copy changed", copy.IsEqual(map) = False
    Check "the original does not see the copy's change", map.HasItem("extra") = False
End Sub

Sub CarriesText()
    Dim node
    Check "the text read is 4 UTF-16 units", Len(text) = 4
    Set node = Create()
    node.Value = text
    Check "Kind of a text", node.Kind = TEXT_KIND
    Check "the text is stored as 9 bytes of UTF-8", node.Count = 9
    Check "GetString gives the text back", node.GetString() = text
    Check "Value get gives the text back", node.Value = text
End Sub

Sub RefusesAType(map)
    Dim number
    number = TypePutError(map, 9)
    Check "Type put 9 arrives as E_INVALIDARG, not &H" & Hex(number), _
          number = E_INVALIDARG Or number = VBS_INVALID_ARGUMENT
    Check "a refused Type put changes nothing", map.Type = MAP_TYPE
End Sub

Sub Main()
    Dim map
    text = ReadText()
    Check "the versioned name creates the class too", CreateObject("ZkData.DataObject.1").Type = NONE_TYPE
    Set map = BuildsAMap()
    BuildsAList map
    CopiesThroughValue map
    CarriesText
    RefusesAType map
End Sub

' Wine's cscript ends with exit code 0 and prints nothing on an uncaught
' script error, so an error anywhere in Main stops it and is reported here.
On Error Resume Next
Main
If Err.Number <> 0 Then
    WScript.Echo "FAILED: script error &H" & Hex(Err.Number) & " (" & Err.Description & ") after the check: " & lastCheck
    failures = failures + 1
End If
On Error GoTo 0
WScript.Quit failures
