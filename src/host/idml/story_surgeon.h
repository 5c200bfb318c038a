#pragma once

// A story of a package edited where its text changed, and nowhere else: the
// ranges around the change keep their attributes (those the model does not
// know too), and XML markers, notes, tables and the like stay in place.

#include <libxml/tree.h>

#include <map>
#include <string>

#include "foundation/xml.h"

namespace korvex::idml {

// A copy of original (a Story element of the package, in its document) whose
// text says what now says, where before is the same story as the model held
// it when the package was read (both as the package writer writes stories).
// The change must be one stretch of new text in one set of attributes that
// the original has beside it, or the same text in other character attributes
// (names maps the model's names of swatches and the like to the package's);
// otherwise, or when the original's text does not line up with before, none:
// the caller writes the story's ranges again.
XmlNode editedStory(xmlNodePtr original, xmlNodePtr before, xmlNodePtr now,
                    const std::map<std::string, std::string>& names);

}  // namespace korvex::idml
