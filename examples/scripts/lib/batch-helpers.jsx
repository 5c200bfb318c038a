// Helpers shared by the example scripts (taken in with #include).

// The document the chain is working on.
function currentDocument() {
    if (app.documents.length === 0) throw new Error("no document is open");
    return app.activeDocument;
}

// The layer of the given name, or an error naming what is there.
function layerNamed(doc, name) {
    var layer = doc.layers.itemByName(name);
    if (!layer.isValid) {
        var names = [];
        for (var i = 0; i < doc.layers.length; i++) names.push(doc.layers[i].name);
        throw new Error("no layer \"" + name + "\" in " + doc.name + " (layers: " + names.join(", ") + ")");
    }
    return layer;
}
