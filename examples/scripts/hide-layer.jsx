// Hides the picture layer so that the chain's next action (a PDF export)
// gives a text-only proof. Chain: JSX (this file), PDF, Save.
#target indesign
#include "lib/batch-helpers.jsx"

var LAYER_NAME = "BILDER";

var doc = currentDocument();
var layer = layerNamed(doc, LAYER_NAME);
layer.visible = false;
layer.printable = false;
$.writeln("hid layer " + LAYER_NAME + " of " + doc.name);
