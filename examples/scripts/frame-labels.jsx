// Writes every frame's script label into "<document> labels.txt" beside the
// document: one line per labelled frame, its page, its bounds in points and
// its label, tab-separated.
#target indesign
#include "lib/batch-helpers.jsx"

// "": the frames' script label; else the key of labels set with insertLabel
// (the sample catalogue's frames carry "Artikel").
var KEY = "";

var doc = currentDocument();
var out = new File(doc.filePath + "/" + doc.name.replace(/\.[^.]*$/, "") + " labels.txt");
if (!out.open("w")) throw new Error("can't write " + out.fsName);
var items = doc.allPageItems;
var written = 0;
for (var i = 0; i < items.length; i++) {
    var item = items[i];
    var label = KEY === "" ? item.label : item.extractLabel(KEY);
    if (label === "") continue;
    var page = item.parentPage;
    var b = item.geometricBounds;
    out.writeln([page ? page.name : "-", b.join(","), label].join("\t"));
    written++;
}
out.close();
$.writeln(written + " labels written to " + out.fsName);
