#include "host/user_style_store.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "foundation/atomic_file.h"
#include "foundation/json_node.h"
#include "foundation/read_file.h"
#include "foundation/text_encoding.h"
#include "host/host_types.h"

namespace korvex {

namespace fs = std::filesystem;

namespace {

// Leaves room within a file name's 255 bytes for ".json" and the atomic
// writer's temporary name beside it.
constexpr std::size_t kMaxNameBytes = 200;

bool hasControlCharacter(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
}

}  // namespace

UserStyleStore::UserStyleStore(std::string folder, std::vector<std::string> reservedNames)
    : folder_(std::move(folder)), reservedNames_(std::move(reservedNames)) {}

Status UserStyleStore::checkName(std::string_view name) const {
  auto refuse = [](const std::string& why) -> Status { return fail(why, kInvalidParameterError); };
  if (name.empty()) return refuse("a style needs a name");
  const std::string quoted = "\"" + oneLine(name) + "\"";
  if (name.front() == '.') return refuse("the name " + quoted + " begins with a dot (a hidden file)");
  if (name.find('/') != std::string_view::npos) return refuse("the name " + quoted + " contains \"/\"");
  if (hasControlCharacter(name)) return refuse("the name " + quoted + " contains control characters");
  if (name.size() > kMaxNameBytes)
    return refuse("the name is longer than " + std::to_string(kMaxNameBytes) + " bytes");
  if (name.front() == '[') return refuse("the name " + quoted + " begins with \"[\" like the built-in names");
  if (std::find(reservedNames_.begin(), reservedNames_.end(), name) != reservedNames_.end())
    return refuse("the name " + quoted + " is a built-in name");
  return {};
}

std::vector<UserStyleStore::StyleFile> UserStyleStore::files() const {
  std::vector<fs::path> paths;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder_, ec)) {
    const std::string fileName = entry.path().filename().string();
    if (fileName.starts_with('.') || entry.path().extension() != ".json") continue;
    std::error_code typeError;
    if (entry.is_regular_file(typeError)) paths.push_back(entry.path());
  }
  std::sort(paths.begin(), paths.end(), [](const fs::path& a, const fs::path& b) {
    return a.filename().string() < b.filename().string();
  });

  std::vector<StyleFile> found;
  for (const fs::path& path : paths) {
    StyleFile file{path.string(), path.stem().string(), std::string()};
    if (Status name = checkName(file.name); !name) {
      file.text = name.failure();
    } else {
      Result<std::string> bytes = readRegularFile(file.path);
      file.text =
          bytes ? Result<std::string>(std::move(*bytes))
                : Result<std::string>(fail(bytes.message().substr(file.path.size() + 2), kFileReadError));
    }
    found.push_back(std::move(file));
  }
  return found;
}

Status UserStyleStore::save(std::string_view name, std::string_view json) const {
  if (Status valid = checkName(name); !valid) return valid;
  std::error_code ec;
  fs::create_directories(folder_, ec);
  const std::string path = folder_ + "/" + std::string(name) + ".json";
  if (std::error_code error = writeFileAtomically(path, json))
    return fail(path + ": " + error.message(), kFileWriteError);
  return {};
}

}  // namespace korvex
