#pragma once

// The image-properties reader's IPTC part: the IIM Application record of a
// picture file (JPEG, TIFF, PSD, …) read through exiv2.

#include <map>
#include <string>

#include "foundation/result.h"

namespace korvex {

// The datasets of the IPTC Application record (2:…) of the file's first
// image, by their IIM names ("Source", "Headline", "Keywords", …) with the
// first value of a repeated dataset. Text is UTF-8 when the record's coded
// character set (1:90) says so (ESC % G), else Latin-1, and is always answered
// as UTF-8. A file without IPTC gives an empty dictionary; one that can't be
// read as a picture fails with "PATH: PROBLEM".
Result<std::map<std::string, std::string>> iptcPropertiesForImage(const std::string& path);

// IIM text as UTF-8: the bytes as they are when utf8 (and valid), else each
// byte as its Latin-1 character.
std::string decodeIimText(const std::string& bytes, bool utf8);

}  // namespace korvex
