// The registration shipped in the Windows zip, zk_data_register.js, run as a
// user runs it and checked in the registry:
//
//   cscript //nologo registration_test.js register <register.js> <dll> [<register32.js>]
//       starts from nothing, checks refused arguments, registers the DLL and
//       checks every entry, registering again, the 32-bit view beside the
//       64-bit one (with register32.js, the script as the 32-bit package has
//       it) and the current user's registration; leaves the DLL registered
//       for all users, for the client tests.
//   cscript //nologo registration_test.js unregister <register.js> <dll>
//       removes the registration and checks that nothing is left.
//
// The exit code is the number of failed checks; each failure names its check.

var CLSID = "{71706A14-2517-48FD-8DBC-B95010554593}";
var LIBID = "{CE00845C-20B4-4DC5-92DB-BC2858525E1D}";
var PROGID = "ZkData.DataObject";
var MACHINE = "HKLM\\Software\\Classes\\", USER = "HKCU\\Software\\Classes\\";

var shell = new ActiveXObject("WScript.Shell");
var files = new ActiveXObject("Scripting.FileSystemObject");
var system = files.GetSpecialFolder(1).Path;
var failures = 0, lastCheck = "(none)";

function check(name, passed) {
    lastCheck = name;
    if (passed) return;
    WScript.Echo("FAILED: " + name);
    ++failures;
}

function run(command) {
    return shell.Run(command, 0, true);
}

// Runs the registration script; its exit code.
function register(script, args) {
    return run('"' + system + '\\cscript.exe" //nologo "' + script + '" ' + args);
}

function exists(key, view) {
    return run('"' + system + '\\reg.exe" query "' + key + '" /reg:' + view) == 0;
}

// Whether a key with a default value is in the 64-bit view; faster than
// exists(), which starts reg.exe.
function present(key) {
    return value(key) !== null;
}

// A value in the 64-bit view (this host's own); null when absent.
function value(key, name) {
    try {
        return shell.RegRead(key + "\\" + (name || ""));
    } catch (e) {
        return null;
    }
}

function creates(progId) {
    try {
        return new ActiveXObject(progId).Type == 0;
    } catch (e) {
        return false;
    }
}

function checkRegistered(root, dll, where) {
    var server = root + "CLSID\\" + CLSID;
    var library = root + "TypeLib\\" + LIBID + "\\1.0";
    check(where + ": InprocServer32 is the DLL's full path, not " + value(server + "\\InprocServer32"),
          value(server + "\\InprocServer32") == dll);
    check(where + ": ThreadingModel", value(server + "\\InprocServer32", "ThreadingModel") == "Apartment");
    check(where + ": the class's ProgID", value(server + "\\ProgID") == PROGID + ".1");
    check(where + ": the class's VersionIndependentProgID", value(server + "\\VersionIndependentProgID") == PROGID);
    check(where + ": the class's TypeLib", value(server + "\\TypeLib") == LIBID);
    check(where + ": the class's type library Version", value(server + "\\Version") == "1.0");
    check(where + ": the ProgID's CLSID", value(root + PROGID + "\\CLSID") == CLSID);
    check(where + ": the ProgID's CurVer", value(root + PROGID + "\\CurVer") == PROGID + ".1");
    check(where + ": the versioned ProgID's CLSID", value(root + PROGID + ".1\\CLSID") == CLSID);
    check(where + ": the type library's win64 path", value(library + "\\0\\win64") == dll);
    check(where + ": the type library's FLAGS", value(library + "\\FLAGS") == "0");
    check(where + ": the type library's HELPDIR", value(library + "\\HELPDIR") == files.GetParentFolderName(dll));
}

function checkNothingLeft(root, where) {
    check(where + ": no class in the 64-bit view", !present(root + "CLSID\\" + CLSID));
    check(where + ": no class in the 32-bit view", !exists(root + "CLSID\\" + CLSID, 32));
    check(where + ": no ProgID", !present(root + PROGID));
    check(where + ": no versioned ProgID", !present(root + PROGID + ".1"));
    check(where + ": no type library", !exists(root + "TypeLib\\" + LIBID, 64));
}

function refusesBadArguments(script, dll) {
    check("an unknown option is refused with exit code 2", register(script, "/bogus") == 2);
    check("two DLLs are refused with exit code 2", register(script, '"' + dll + '" "' + dll + '"') == 2);
    var missing = files.BuildPath(files.GetParentFolderName(dll), "missing\\zk_data.dll");
    check("a missing DLL is refused with exit code 1", register(script, '"' + missing + '"') == 1);
    check("a refused registration writes nothing", !present(MACHINE + "CLSID\\" + CLSID));
}

function registersAgain(script, dll) {
    var stale = MACHINE + "CLSID\\" + CLSID + "\\Stale";
    run('"' + system + '\\reg.exe" add "' + stale + '" /f /reg:64');
    check("registering again succeeds", register(script, '"' + dll + '"') == 0);
    check("registering again removes what an earlier registration left", !exists(stale, 64));
    checkRegistered(MACHINE, dll, "registered again");
}

// Windows keeps the ProgIDs and the type library in one place for both views:
// removing the 32-bit registration must leave the 64-bit one whole.
function registersBothViews(script32, script, dll) {
    check("the 32-bit registration succeeds", register(script32, '"' + dll + '"') == 0);
    check("the 32-bit class is in the 32-bit view", exists(MACHINE + "CLSID\\" + CLSID + "\\InprocServer32", 32));
    check("the 32-bit type library path", exists(MACHINE + "TypeLib\\" + LIBID + "\\1.0\\0\\win32", 32));
    check("the 64-bit class is still registered", value(MACHINE + "CLSID\\" + CLSID + "\\InprocServer32") == dll);
    check("removing the 32-bit registration succeeds", register(script32, "/u") == 0);
    check("the 32-bit class is gone", !exists(MACHINE + "CLSID\\" + CLSID, 32));
    check("the 32-bit type library path is gone", !exists(MACHINE + "TypeLib\\" + LIBID + "\\1.0\\0\\win32", 32));
    checkRegistered(MACHINE, dll, "after removing the 32-bit registration");
    check("the class is created by name after removing the 32-bit registration", creates(PROGID));
}

function registersForTheUser(script, dll) {
    check("the registration for the current user succeeds", register(script, '/user "' + dll + '"') == 0);
    checkRegistered(USER, dll, "for the current user");
    check("removing the current user's registration succeeds", register(script, "/user /u") == 0);
    checkNothingLeft(USER, "after removing the current user's registration");
    check("the registration for all users stays", value(MACHINE + "CLSID\\" + CLSID + "\\InprocServer32") == dll);
}

function setUp(script, dll, script32) {
    check("removing what an earlier run left succeeds",
          register(script, "/u") == 0 && (!script32 || register(script32, "/u") == 0));
    checkNothingLeft(MACHINE, "at the start");
    refusesBadArguments(script, dll);
    check("the registration succeeds", register(script, '"' + dll + '"') == 0);
    checkRegistered(MACHINE, dll, "registered");
    check("the class is created by its ProgID", creates(PROGID));
    check("the class is created by its versioned ProgID", creates(PROGID + ".1"));
    registersAgain(script, dll);
    if (script32) registersBothViews(script32, script, dll);
    registersForTheUser(script, dll);
}

function tearDown(script) {
    check("removing the registration succeeds", register(script, "/u") == 0);
    checkNothingLeft(MACHINE, "after removing the registration");
    check("the class is no longer created by name", !creates(PROGID));
    check("removing it again succeeds", register(script, "/u") == 0);
}

// Wine's cscript ends with exit code 0 and prints nothing on an uncaught
// script error, so every error is caught here.
try {
    var args = WScript.Arguments;
    if (args.length < 3) throw new Error("usage: registration_test.js register|unregister <register.js> <dll> [<register32.js>]");
    // The registry holds the DLL's path in Windows form.
    var dll = args(2).replace(/\//g, "\\");
    if (args(0) == "register")
        setUp(args(1), dll, args.length > 3 ? args(3) : null);
    else
        tearDown(args(1));
} catch (e) {
    WScript.Echo("FAILED: script error 0x" + (e.number >>> 0).toString(16) + " (" + e.description + ") after the check: " +
                 lastCheck);
    ++failures;
}
WScript.Quit(failures);
