// The IPixmend script surface as a page's JScript sees it: run by Wine's
// cscript (an automation client of its own) against the registered control.
var passed = 0, failed = 0;

function check(what, ok) {
    if (ok) {
        passed++;
    } else {
        failed++;
        WScript.Echo("FAIL: " + what);
    }
}

// The error number of f's exception, or null when it throws nothing.
function errorOf(f) {
    try {
        f();
    } catch (e) {
        return e.number;
    }
    return null;
}

var DISP_E_MEMBERNOTFOUND = 0x80020003 - 0x100000000;

function run() {
    var px = new ActiveXObject("Corvane.Pixmend");

    // Names resolve through the type library, in any letter case.
    var spellings = ["Version", "version", "VERSION", "vErSiOn"];
    for (var i = 0; i < spellings.length; i++)
        check("px." + spellings[i], px[spellings[i]] === "1,0,3,20662");
    check("Response before any upload is empty text", px.Response === "");

    // Every member without a get is write-only: setting works, reading fails.
    var writeOnly = [
        ["PostUrl", "http://localhost/upload.php"], ["FileFieldName", "Photo"],
        ["ImageType", "PNG"], ["JpgQuality", 85], ["ClipWidth", 320], ["ClipHeight", "240"],
        ["Object", {}], ["OnComplete", function () {}], ["OnError", function () {}]
    ];
    for (var i = 0; i < writeOnly.length; i++) {
        var name = writeOnly[i][0], value = writeOnly[i][1];
        check("set " + name, errorOf(function () { px[name] = value; }) === null);
        check("read " + name + " fails", errorOf(function () { return px[name]; }) === DISP_E_MEMBERNOTFOUND);
    }
    check("Version cannot be set", errorOf(function () { px.Version = "2"; }) !== null);

    // Colours are stored and read back; 0 until set.
    check("FillColor starts at 0", px.FillColor === 0);
    px.BackColor = 0x123456;
    check("BackColor read back", px.BackColor === 0x123456);

    // Fields: numbers arrive as text; a present name is replaced in place.
    check("AddField", errorOf(function () {
        px.AddField("b", 1);
        px.AddField("a", "2");
        px.AddField("b", 3);
        px.ClearFields();
    }) === null);

    // Callbacks: the page's function is called with the "Object" value.
    var calls = [];
    px.OnComplete = null;
    px.OnError = null;
    px.FireComplete();
    px.FireError();
    check("no callback stored: nothing happens", calls.length === 0);

    var argument = { tag: "the page's object" };
    px.Object = argument;
    px.OnComplete = function (o) { calls.push("complete"); calls.push(o); };
    px.OnError = function (o) { calls.push("error"); calls.push(o); };
    px.FireComplete();
    px.FireError();
    check("OnComplete then OnError", calls.length === 4 && calls[0] === "complete" && calls[2] === "error");
    check("called with the Object value", calls[1] === argument && calls[3] === argument);

    // A function that clears itself runs to its end, and only once.
    var runs = 0;
    px.OnComplete = function () { px.OnComplete = null; px.Object = null; runs++; };
    px.FireComplete();
    px.FireComplete();
    check("self-clearing callback ran once", runs === 1);

    var seen = "unset";
    px.OnError = function (o) { seen = o; };
    px.FireError();
    check("Object cleared: the callback gets null", seen === null);

    // A callback that throws leaves the control working.
    px.OnError = function () { throw new Error("page failure"); };
    check("a throwing callback is ignored", errorOf(function () { px.FireError(); }) === null);
    check("still answering", px.Version === "1,0,3,20662");
}

// cscript ends silently on an uncaught error: report it as a failure.
try {
    run();
} catch (e) {
    check("uncaught error " + e.number + ": " + e.message, false);
}
WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed === 0 ? 0 : 1);
