#include "foundation/base64.h"

#include <gtest/gtest.h>

namespace korvex {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view text) {
  return {text.begin(), text.end()};
}

TEST(Base64Test, PaddingRefusalsAndEveryByteValue) {
  // The test vectors of RFC 4648, both ways; padding may be left out when decoding.
  const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : vectors) {
    EXPECT_EQ(base64Encode(bytesOf(plain)), encoded);
    EXPECT_EQ(base64Decode(encoded), bytesOf(plain)) << encoded;
    std::string unpadded = encoded;
    std::erase(unpadded, '=');
    EXPECT_EQ(base64Decode(unpadded), bytesOf(plain)) << unpadded;
  }
  for (const char* bad :
       {"QU*C", "Zm9v\n", "Zm 9v", "Zg=x", "Zg===", "Zm8==", "Zm9v==", "=", "Z", "Zm9vY", "Zg=", "-_8="})
    EXPECT_FALSE(base64Decode(bad)) << bad;
  EXPECT_FALSE(base64Decode(std::string_view("Zg\0=", 4)));

  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  // Three lengths end the data on every position of a three-byte group.
  for (std::size_t drop : {0u, 1u, 2u}) {
    const std::vector<std::uint8_t> data(all.begin(), all.end() - static_cast<std::ptrdiff_t>(drop));
    const std::string text = base64Encode(data);
    EXPECT_EQ(text.size() % 4, 0u);
    EXPECT_EQ(base64Decode(text), data);
  }
}

}  // namespace
}  // namespace korvex
