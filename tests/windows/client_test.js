// A script host's view of DataObject: created by its registered name, reached
// only through the late-bound methods of IDataValue. Run by
// "cscript //nologo client_test.js" once zk_data_register.js has registered
// the DLL. The exit code is the number of failed checks; each failure names
// its check.
//
// The file is ASCII: Wine's cscript reads script files in the ANSI code page
// only, so the non-ASCII text is built from character codes instead.

var E_INVALIDARG = 0x80070057 | 0;  // as JScript holds it: a signed 32-bit number
var NONE = 0, STR = 1, INT = 2, LIST = 3, MAP = 4;
var INT32 = 5, TEXT = 12;

var failures = 0, lastCheck = "(none)";

function check(name, passed) {
    lastCheck = name;
    if (passed) return;
    WScript.Echo("FAILED: " + name);
    ++failures;
}

function hex(number) {
    return "0x" + (number >>> 0).toString(16).toUpperCase();
}

function create() {
    return new ActiveXObject("ZkData.DataObject");
}

function buildsAMap() {
    var map = create();
    check("a new object is None", map.Type == NONE);
    map.Type = MAP;
    map.Item("name") = "abc";
    map.Item("n") = 5;
    map.Item(String.fromCharCode(0x4E2D)) = "middle";
    check("Type of the map", map.Type == MAP);
    check("Count of the map", map.Count == 3);
    check("KeyAt 0", map.KeyAt(0) == "name");
    check("KeyAt 1", map.KeyAt(1) == "n");
    check("KeyAt 2 gives the non-ASCII key back", map.KeyAt(2) == String.fromCharCode(0x4E2D));
    check("HasItem of a key", map.HasItem("n") === true);
    check("HasItem of a missing key", map.HasItem("missing") === false);
    check("HasItem adds no key", map.Count == 3);
    var n = map.Item("n");
    check("an integer item's Type", n.Type == INT);
    check("an integer item's Kind is Int32", n.Kind == INT32);
    check("an integer item's Value", n.Value === 5);
    check("IsEqual with the same integer", n.IsEqual(5) === true);
    check("IsEqual with another integer", n.IsEqual(6) === false);
    n.Value = 6;  // the child is a live view into the map
    check("a change through a child reaches the map", map.Item("n").Value === 6);
    var name = map.Item("name");
    check("a text item's Type", name.Type == STR);
    check("a text item's Kind", name.Kind == TEXT);
    check("a text item's Value", name.Value === "abc");
    return map;
}

function buildsAList(map) {
    var list = create();
    list.Element(0) = "first";
    list.Element(2) = 7;
    check("Type of the list", list.Type == LIST);
    check("Count of the list", list.Count == 3);
    check("the element skipped over is None", list.Element(1).Type == NONE);
    check("Element 0", list.Element(0).Value === "first");
    check("Element 2", list.Element(2).Value === 7);
    list.Element(1) = "second";  // two None nodes are never equal, so IsEqual below needs none
    map.Item("list") = list;  // stores a copy of the list's tree
    check("a list stored in a map", map.Item("list").Count == 3);
    list.Element(3) = 8;
    check("the stored list is a copy", map.Item("list").Count == 3);
}

function copiesThroughValue(map) {
    var copy = create();
    copy.Value = map;
    check("Value put with an object copies its tree", copy.Type == MAP && copy.Count == map.Count);
    check("IsEqual of the copy", copy.IsEqual(map) === true);
    copy.Item("extra") = 1;
    check("IsEqual after the copy changed", copy.IsEqual(map) === false);
    check("the original does not see the copy's change", map.HasItem("extra") === false);
    check("Value get of a map is the object itself", map.Value.Count == map.Count);
}

function carriesText() {
    // e with acute accent, the CJK character for "middle", an emoji (a
    // surrogate pair): 2, 3 and 4 bytes of UTF-8.
    var text = String.fromCharCode(0xE9, 0x4E2D, 0xD83D, 0xDE00);
    var node = create();
    node.Value = text;
    check("Kind of a text", node.Kind == TEXT);
    check("the text is stored as 9 bytes of UTF-8", node.Count == 9);
    check("GetString gives the text back", node.GetString() === text);
    check("Value get gives the text back", node.Value === text);
}

function refusesAType(map) {
    try {
        map.Type = 9;
        check("Type put 9 is refused", false);
    } catch (e) {
        check("Type put 9 arrives as E_INVALIDARG, not " + hex(e.number), e.number == E_INVALIDARG);
    }
    check("a refused Type put changes nothing", map.Type == MAP);
}

// Wine's cscript ends with exit code 0 and prints nothing on an uncaught
// script error, so every error is caught here.
try {
    check("the versioned name creates the class too", new ActiveXObject("ZkData.DataObject.1").Type == NONE);
    var map = buildsAMap();
    buildsAList(map);
    copiesThroughValue(map);
    carriesText();
    refusesAType(map);
} catch (e) {
    WScript.Echo("FAILED: script error " + hex(e.number) + " (" + e.description + ") after the check: " + lastCheck);
    ++failures;
}
WScript.Quit(failures);
