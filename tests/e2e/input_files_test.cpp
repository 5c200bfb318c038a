// What the tools make of the files they are given: settings, chains, style
// files and documents that are folders, devices, fifos, malformed, or hold
// folder values that name no folder.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/run_process.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;

test::ProcessResult korvex(const std::vector<std::string>& args) {
  return test::runProcess(KORVEX_EXE, args);
}

std::string plist(const std::string& body) {
  return R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)" + body + "</plist>";
}

std::size_t lineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A fifo that a tool must refuse. Should the tool open it anyway (and wait for
// a writer), a writer comes and goes, so the tool sees an empty file instead
// of blocking the test for good.
class Fifo {
 public:
  explicit Fifo(fs::path path) : path_(std::move(path)) {
    EXPECT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    unblocker_ = std::thread([this] {
      while (!done_) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    });
  }
  ~Fifo() {
    done_ = true;
    unblocker_.join();
  }
  Fifo(const Fifo&) = delete;
  Fifo& operator=(const Fifo&) = delete;
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
  std::atomic<bool> done_{false};
  std::thread unblocker_;
};

TEST(InputFiles, AnUnusableSettingsFileGivesTheDefaultsAndOneLine) {
  test::TempHome home;
  const fs::path settings = home.dataHome() / "Tamrisk/Korvex.plist";
  const std::string doc = (home.scratch() / "a.indd").string();
  test::writeFile(doc, R"({"format": "korvex-document", "version": 1})");
  const std::string chain = (home.scratch() / "chain.plist").string();
  test::writeFile(chain, plist("<array><dict><key>Action</key><string>#off</string></dict></array>"));

  // A folder in its place once aborted every command with an uncaught exception.
  fs::create_directories(settings);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"settings"}, {"run", "--chain", chain, doc}, {"hotfolder", "--once"}}) {
    auto result = korvex(args);
    EXPECT_NE(result.exitCode, -1) << args[0];
    EXPECT_NE(result.err.find("korvex: " + settings.string() +
                              ": is a folder, not a file; the default settings are used\n"),
              std::string::npos)
        << args[0] << ": " << result.err;
  }
  auto shown = korvex({"settings"});
  EXPECT_EQ(shown.exitCode, 0);
  EXPECT_EQ(shown.out, "{\n}\n");
  EXPECT_EQ(lineCount(shown.err), 1u) << shown.err;

  // A corrupt file is named, with the reason and its line.
  fs::remove(settings);
  test::writeFile(settings, plist("<dict><key>Tab</key>\n<string>2</dict>"));
  auto corrupt = korvex({"settings"});
  EXPECT_EQ(corrupt.exitCode, 0);
  EXPECT_NE(corrupt.err.find("korvex: " + settings.string() + ": not a property list: "), std::string::npos)
      << corrupt.err;
  EXPECT_NE(corrupt.err.find("line 2"), std::string::npos) << corrupt.err;

  // No file at all is the normal first start: nothing to say.
  fs::remove(settings);
  EXPECT_EQ(korvex({"settings"}).err, "");
}

TEST(InputFiles, ChainFilesMustBeRegularPropertyListsOrScripts) {
  test::TempHome home;
  const std::string doc = (home.scratch() / "a.indd").string();
  test::writeFile(doc, R"({"format": "korvex-document", "version": 1})");
  Fifo fifo(home.scratch() / "fifo.plist");

  struct Case {
    std::string chain;
    std::string message;
  };
  const std::string malformed = (home.scratch() / "bad.plist").string();
  test::writeFile(malformed, plist("<array>\n<dict><key>Action</key>\n</array>"));
  const Case cases[] = {
      {"/dev/zero", "korvex: /dev/zero: is a character device, not a regular file\n"},
      {fifo.path(), "korvex: " + fifo.path() + ": is a fifo, not a regular file\n"},
      {home.scratch().string(), "korvex: " + home.scratch().string() + ": is a folder, not an action file\n"},
  };
  for (const Case& c : cases) {
    auto result = korvex({"run", "--chain", c.chain, doc});
    EXPECT_EQ(result.exitCode, 2) << c.chain;
    EXPECT_EQ(result.err, c.message);
  }
  // A malformed chain says why and where.
  auto bad = korvex({"run", "--chain", malformed, doc});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("korvex: " + malformed + ": not a property list: "), std::string::npos) << bad.err;
  EXPECT_NE(bad.err.find("line 3"), std::string::npos) << bad.err;
  EXPECT_EQ(lineCount(bad.err), 1u);

  // A script's extension in capitals is a script all the same, and "--" ends
  // the options, so a document may begin with "--".
  const std::string script = (home.scratch() / "Job.JSX").string();
  test::writeFile(script, "// nothing\n");
  const std::string oddDoc = (home.scratch() / "--odd.indd").string();
  test::writeFile(oddDoc, R"({"format": "korvex-document", "version": 1})");
  fs::current_path(home.scratch());
  auto ran = korvex({"run", "--chain", script, "--", "--odd.indd"});
  fs::current_path(home.root());
  EXPECT_EQ(ran.err.find("not a property list"), std::string::npos) << ran.err;
  EXPECT_EQ(ran.err.find("unknown option"), std::string::npos) << ran.err;
  const std::string log = test::readFile(home.documents() / "Tamrisk/Korvex.txt");
  EXPECT_NE(log.find("Job.JSX"), std::string::npos) << log;
  EXPECT_NE(log.find(oddDoc), std::string::npos) << log;
}

TEST(InputFiles, DocumentsAndStyleFilesMustBeRegularFiles) {
  test::TempHome home;
  Fifo fifo(home.scratch() / "fifo.indd");
  for (const std::string tool : {"check", "info"}) {
    auto zero = korvex({"doc", tool, "/dev/zero"});
    EXPECT_EQ(zero.exitCode, 2) << tool;
    EXPECT_EQ(zero.err, "korvex: /dev/zero: is a character device, not a regular file\n");
    auto fromFifo = korvex({"doc", tool, fifo.path()});
    EXPECT_EQ(fromFifo.exitCode, 2) << tool;
    EXPECT_EQ(fromFifo.err, "korvex: " + fifo.path() + ": is a fifo, not a regular file\n");
  }
  auto missing = korvex({"doc", "check", (home.scratch() / "none.indd").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("none.indd: no such file"), std::string::npos) << missing.err;

  auto device = korvex({"styles", "add", "Mine", "/dev/zero"});
  EXPECT_EQ(device.exitCode, 2);
  EXPECT_EQ(device.err, "korvex: styles: /dev/zero: is a character device, not a regular file\n");
  auto style = korvex({"styles", "add", "Mine", fifo.path()});
  EXPECT_EQ(style.exitCode, 2);
  EXPECT_EQ(style.err, "korvex: styles: " + fifo.path() + ": is a fifo, not a regular file\n");
  // A name that can't be a style's is the reason, whatever the file is.
  auto longName = korvex({"styles", "add", std::string(300, 'a'), fifo.path()});
  EXPECT_EQ(longName.exitCode, 1);
  EXPECT_EQ(longName.err, "korvex: styles: the name is longer than 200 bytes\n");
}

TEST(InputFiles, FolderValuesThatAreNoAbsolutePathNameNoFolder) {
  test::TempHome home;
  const fs::path jobs = home.scratch() / "Jobs";
  fs::create_directories(jobs);
  const fs::path examples = fs::path(KORVEX_SOURCE_DIR) / "examples";
  fs::copy(examples / "Links", jobs / "Links", fs::copy_options::recursive);
  fs::copy_file(examples / "Flyer Sommerfest.indd", jobs / "Flyer Sommerfest.indd");
  const std::string doc = (jobs / "Flyer Sommerfest.indd").string();
  // A working folder where the values would land if taken as relative paths.
  const fs::path work = home.scratch() / "work";
  fs::create_directories(work / "out");
  auto runChain = [&](const std::string& action) {
    const std::string chain = (home.scratch() / "chain.plist").string();
    test::writeFile(chain, plist("<array><dict>" + action + "</dict></array>"));
    fs::current_path(work);
    auto result = korvex({"run", "--chain", chain, doc});
    fs::current_path(home.root());
    return result;
  };
  const std::string log = (home.documents() / "Tamrisk/Korvex.txt").string();

  for (const std::string value :
       {"<true/>", "<integer>1</integer>", "<real>3.5</real>", "<string>out</string>"}) {
    auto collect = runChain("<key>Action</key><string>Collect</string><key>Folder</key>" + value +
                            "<key>Docs</key><integer>1</integer><key>Picts</key><integer>0</integer>"
                            "<key>Fonts</key><integer>0</integer>");
    EXPECT_EQ(collect.exitCode, 1) << value;
    EXPECT_NE(test::readFile(log).find("\t\t####\tdestination folder not found: \n"), std::string::npos)
        << value;
    EXPECT_FALSE(fs::exists(work / "1")) << value;
    EXPECT_FALSE(fs::exists(work / "3.5")) << value;
    EXPECT_FALSE(fs::exists(work / "out/Flyer Sommerfest.indd")) << value;
  }

  // The PDF goes next to the document, as for any "Folder" that is no folder.
  auto pdf = runChain(
      "<key>Action</key><string>PDF</string><key>Style</key><string>[High Quality Print]</string>"
      "<key>Folder</key><string>out</string>");
  EXPECT_EQ(pdf.exitCode, 0) << pdf.err;
  EXPECT_TRUE(fs::exists(jobs / "Flyer Sommerfest.pdf"));
  EXPECT_FALSE(fs::exists(work / "out/Flyer Sommerfest.pdf"));
}

}  // namespace
}  // namespace korvex
