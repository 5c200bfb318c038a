#include "platform/image_properties.h"

#include <exception>

// exiv2 0.27 hands images over in std::auto_ptr.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <exiv2/exiv2.hpp>

#include "foundation/unicode.h"

namespace korvex {

namespace {

// 1:90 for UTF-8, ISO 2022's "ESC % G".
constexpr char kUtf8CharacterSet[] = "\x1b%G";

void appendUtf8(std::string& out, unsigned char byte) {
  if (byte < 0x80) {
    out += static_cast<char>(byte);
  } else {
    out += static_cast<char>(0xC0 | (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
  }
}

// exiv2's messages often begin with the path already.
std::string namingTheFile(const std::string& path, const std::string& message) {
  return message.rfind(path + ":", 0) == 0 ? message : path + ": " + message;
}

}  // namespace

std::string decodeIimText(const std::string& bytes, bool utf8) {
  if (utf8 && isValidUTF8(bytes)) return bytes;
  std::string text;
  text.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) appendUtf8(text, byte);
  return text;
}

Result<std::map<std::string, std::string>> iptcPropertiesForImage(const std::string& path) {
  try {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path, false);
    if (!image.get()) return fail(path + ": not a picture file");
    image->readMetadata();
    const Exiv2::IptcData& iptc = image->iptcData();
    bool utf8 = false;
    for (const Exiv2::Iptcdatum& datum : iptc)
      if (datum.record() == Exiv2::IptcDataSets::envelope && datum.tag() == Exiv2::IptcDataSets::CharacterSet)
        utf8 = datum.value().toString() == kUtf8CharacterSet;
    std::map<std::string, std::string> fields;
    for (const Exiv2::Iptcdatum& datum : iptc) {
      if (datum.record() != Exiv2::IptcDataSets::application2) continue;
      // Only the first of a repeated dataset.
      fields.emplace(datum.tagName(), decodeIimText(datum.value().toString(), utf8));
    }
    return fields;
  } catch (const Exiv2::AnyError& error) {
    return fail(namingTheFile(path, error.what()));
  } catch (const std::exception& error) {
    return fail(namingTheFile(path, error.what()));
  }
}

}  // namespace korvex

#pragma GCC diagnostic pop
