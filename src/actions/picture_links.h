#pragma once

// The picture and link actions: "CollectPictures" copies a document and the
// source files of its pictures (found by name in a folder tree) into a
// delivery folder; "Bildaktualisierung" relinks pictures to files of the
// same name in a list of folders; "AddLinks" gives the frames of pictures
// named in a key/value table a further link; "SetEmbeddedProfile" sets every
// placed image to the colour profile its file embeds.

#include <string>

#include "docmodel/my_doc.h"
#include "foundation/value.h"
#include "host/document.h"

namespace korvex {

// "SrcFolder", "DstFolder". Fails for a missing folder or when the document
// itself can't be copied; pictures not found are listed in "Fehlende Bilder.txt".
bool collectPictures(MyDoc& doc, const DictPtr& action);

// "Logos": folder names relative to the folder two levels above the
// document. Without a dictionary (the menu command) the action file is read.
bool doUpdatePictures(IDocument* document, const DictPtr& action);

// "Links": the key/value table (picture name → file). Always succeeds.
bool addLinks(IDocument* document, const DictPtr& action);
// Forgets the tables AddLinks has read.
void cleanupAddLinks();

// The per-link procedure of "SetEmbeddedProfile"; always goes on.
bool setEmbeddedProfileForLink(const UIDRef& link, void* data);
// Runs it over every link of the document; always succeeds.
bool doSetEmbeddedProfile(IDocument* document, const DictPtr& action);

}  // namespace korvex
