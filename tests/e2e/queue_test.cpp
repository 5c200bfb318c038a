// Workers on a shared queue, end to end: a private redis-server per test,
// korvex processes as submitter, workers and hot folder.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/run_process.h"
#include "support/spawned.h"
#include "support/temp_home.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A port nobody listens on now.
int freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(s);
  return ntohs(address.sin_port);
}

bool accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return ok;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit = 60s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// A redis-server of the test's own, with its append-only file in dataDir,
// so a restart keeps every job.
class RedisServer {
 public:
  explicit RedisServer(fs::path dataDir) : dataDir_(std::move(dataDir)), port_(freePort()) {
    fs::create_directories(dataDir_);
    start();
  }
  void start() {
    process_ = std::make_unique<test::Spawned>(
        std::vector<std::string>{"/usr/bin/redis-server", "--port", std::to_string(port_), "--bind", "127.0.0.1",
                                 "--dir", dataDir_.string(), "--appendonly", "yes", "--save", "",
                                 "--daemonize", "no", "--logfile", (dataDir_ / "redis.log").string()});
    ready_ = waitFor([this] { return accepts(port_); }, 20s);
  }
  // A clean shutdown (the append-only file is flushed), as a service restart does.
  void stop() { process_->stop(SIGTERM); }
  bool ready() const { return ready_; }
  std::string url() const { return "redis://127.0.0.1:" + std::to_string(port_); }

 private:
  fs::path dataDir_;
  int port_;
  std::unique_ptr<test::Spawned> process_;
  bool ready_ = false;
};

const char* const kMinimalDocument =
    R"({"format": "korvex-document", "version": 1, "layers": [{"name": "L"}], "spreads": [{"pages": [{}]}]})";

class Queue : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists("/usr/bin/redis-server")) GTEST_SKIP() << "redis-server is not installed";
    redis = std::make_unique<RedisServer>(home.scratch() / "redis");
    ASSERT_TRUE(redis->ready()) << test::readFile(home.scratch() / "redis/redis.log");
  }

  test::ProcessResult korvex(std::vector<std::string> args) {
    args.push_back("--redis");
    args.push_back(redis->url());
    return test::runProcess(KORVEX_EXE, args);
  }
  std::unique_ptr<test::Spawned> worker(const std::string& name, std::vector<std::string> extra = {}) {
    std::vector<std::string> argv{KORVEX_EXE, "worker", "--redis", redis->url(), "--name", name};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return std::make_unique<test::Spawned>(argv, home.scratch() / (name + ".out"));
  }
  fs::path pdfs() const { return home.scratch() / "PDF"; }
  std::string pdfChain() {
    const fs::path path = home.scratch() / "Export.plist";
    fs::create_directories(pdfs());
    test::writeFile(path, R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><array><dict>)"
                          "<key>Action</key><string>PDF</string><key>Style</key><string>[Smallest File Size]</string>"
                          "<key>Folder</key><string>" + pdfs().string() + "</string></dict></array></plist>");
    return path.string();
  }
  std::vector<std::string> documents(int count, const std::string& body = kMinimalDocument) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      paths.push_back((home.scratch() / "Jobs" / ("Job " + std::to_string(i) + ".indd")).string());
      test::writeFile(paths.back(), body);
    }
    return paths;
  }
  std::string submit(const std::vector<std::string>& docs) {
    std::vector<std::string> args{"queue", "submit", "--chain", pdfChain()};
    args.insert(args.end(), docs.begin(), docs.end());
    auto result = korvex(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out;
  }
  std::string status() { return korvex({"queue", "status"}).out; }
  bool statusHas(const std::string& text) { return status().find(text) != std::string::npos; }
  // How often each document was run, over every worker's log.
  std::map<std::string, int> runsPerDocument() {
    std::map<std::string, int> runs;
    for (const auto& entry : fs::directory_iterator(home.documents() / "Tamrisk/Workers")) {
      const std::string log = test::readFile(entry.path() / "Korvex.txt");
      // A run logs the document's path on a line of its own.
      for (std::size_t start = 0, end; start < log.size(); start = end + 1) {
        end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(start, end - start);
        const std::size_t at = line.find(": Korvex::/");
        if (at != std::string::npos && line.ends_with(".indd")) ++runs[line.substr(at + 10)];
      }
    }
    return runs;
  }
  // Documents whose export takes long enough to be caught in the middle.
  std::vector<std::string> slowDocuments(int count, int spreads) {
    std::string body = R"({"format": "korvex-document", "version": 1, "layers": [{"name": "L"}], "spreads": [)";
    for (int s = 0; s < spreads; ++s) {
      body += std::string(s ? "," : "") + R"({"pages": [{}], "items": [)";
      for (int i = 0; i < 100; ++i)
        body += std::string(i ? "," : "") + "{\"bounds\": [" + std::to_string(i) + ", 10, " +
                std::to_string(i + 50) + ", 40]}";
      body += "]}";
    }
    return documents(count, body + "]}");
  }
  int doneCount() {
    const std::string text = status();
    const std::size_t at = text.find("done ");
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + 5);
  }

  test::TempHome home;
  std::unique_ptr<RedisServer> redis;
};

TEST_F(Queue, FourWorkersRunEachOfTwoHundredDocumentsExactlyOnce) {
  const std::vector<std::string> docs = documents(200);
  const std::string ids = submit(docs);
  EXPECT_EQ(std::count(ids.begin(), ids.end(), '\n'), 200);
  EXPECT_TRUE(statusHas("waiting 200, running 0, done 0, failed 0")) << status();

  std::vector<std::unique_ptr<test::Spawned>> workers;
  for (int i = 0; i < 4; ++i) workers.push_back(worker("w" + std::to_string(i), {"--until-empty"}));
  for (auto& w : workers) EXPECT_EQ(w->wait(), 0);

  EXPECT_TRUE(statusHas("waiting 0, running 0, done 200, failed 0")) << status();
  const auto runs = runsPerDocument();
  EXPECT_EQ(runs.size(), 200u);
  for (const std::string& doc : docs) {
    EXPECT_EQ(runs.count(doc) ? runs.at(doc) : 0, 1) << doc;
    EXPECT_TRUE(fs::exists(pdfs() / fs::path(doc).filename().replace_extension(".pdf"))) << doc;
  }
  // Each worker took some: the group spreads the jobs.
  int busy = 0;
  for (int i = 0; i < 4; ++i)
    busy += test::readFile(home.scratch() / ("w" + std::to_string(i) + ".out")).find(": done") != std::string::npos;
  EXPECT_GE(busy, 2);
}

TEST_F(Queue, AKilledWorkersJobIsFinishedByAnotherAndSigtermFinishesTheDocumentFirst) {
  const std::string slow = slowDocuments(1, 400).front();
  submit({slow});
  auto first = worker("first", {"--lease", "2"});
  ASSERT_TRUE(waitFor([&] { return statusHas("running 1"); })) << status();
  first->kill();
  EXPECT_TRUE(statusHas("running 1")) << "the dead worker's job is still in hand";

  auto second = worker("second", {"--lease", "2", "--until-empty"});
  EXPECT_EQ(second->wait(), 0);
  const std::string finished = status();
  EXPECT_NE(finished.find("done 1,"), std::string::npos) << finished;
  EXPECT_NE(finished.find("\tsecond\ttries 2"), std::string::npos) << finished;
  EXPECT_TRUE(fs::exists(pdfs() / fs::path(slow).filename().replace_extension(".pdf")));

  // SIGTERM in the middle of a document: it is finished and recorded, then the worker ends.
  submit({slow});
  auto third = worker("third");
  ASSERT_TRUE(waitFor([&] { return statusHas("running 1"); })) << status();
  EXPECT_EQ(third->stop(SIGTERM), 0);
  EXPECT_TRUE(statusHas("waiting 0, running 0, done 2, failed 0")) << status();
  EXPECT_NE(test::readFile(home.scratch() / "third.out").find("worker third: stopped"), std::string::npos);
}

TEST_F(Queue, ADocumentThatAlwaysFailsEndsInTheDeadLettersAfterThreeTries) {
  std::vector<std::string> docs = documents(2);
  test::writeFile(docs[1], "{ damaged");
  submit(docs);
  auto w = worker("w", {"--until-empty"});
  EXPECT_EQ(w->wait(), 0);
  const std::string text = status();
  EXPECT_NE(text.find("done 1, failed 1 (dead letters: 1)"), std::string::npos) << text;
  EXPECT_NE(text.find("2\tfailed\tExport\t" + docs[1] + "\tw\ttries 3"), std::string::npos) << text;
  EXPECT_NE(text.find("\t####\tcould not open: "), std::string::npos) << text;
  EXPECT_EQ(runsPerDocument()[docs[1]], 3);
}

TEST_F(Queue, ARedisRestartInTheMiddleOfARunLosesNoJob) {
  const std::vector<std::string> docs = slowDocuments(40, 40);
  submit(docs);
  auto a = worker("a", {"--until-empty"});
  auto b = worker("b", {"--until-empty"});
  ASSERT_TRUE(waitFor([&] { return doneCount() > 0; })) << status();
  ASSERT_LT(doneCount(), 40) << "the restart must fall in the middle of the run";
  redis->stop();
  std::this_thread::sleep_for(1500ms);
  redis->start();
  ASSERT_TRUE(redis->ready());
  EXPECT_EQ(a->wait(), 0);
  EXPECT_EQ(b->wait(), 0);
  EXPECT_TRUE(statusHas("waiting 0, running 0, done 40, failed 0")) << status();
  const std::string said = test::readFile(home.scratch() / "a.out") + test::readFile(home.scratch() / "b.out");
  EXPECT_NE(said.find("; trying again"), std::string::npos) << "the workers saw the server go: " << said;
  const auto runs = runsPerDocument();
  for (const std::string& doc : docs) EXPECT_EQ(runs.count(doc) ? runs.at(doc) : 0, 1) << doc;
}

TEST_F(Queue, TheHotFolderSubmitsAndWorkersRun) {
  const fs::path hot = home.scratch() / "Hot";
  fs::create_directories(hot / "Export");
  fs::create_directories(home.dataHome() / "Korvex");
  fs::copy_file(pdfChain(), home.dataHome() / "Korvex/Export.plist");
  test::writeFile(home.dataHome() / "Tamrisk/Korvex.plist",
                  R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>Hotfolder</key><string>)" +
                      hot.string() + "</string><key>HotfolderQueue</key><string>" + redis->url() +
                      "</string></dict></plist>");
  for (const char* name : {"A.indd", "B.indd"}) test::writeFile(hot / "Export" / name, kMinimalDocument);

  auto scan = test::runProcess(KORVEX_EXE, {"hotfolder", "--once"});
  ASSERT_EQ(scan.exitCode, 0) << scan.err;
  EXPECT_TRUE(statusHas("waiting 2, running 0")) << status();
  EXPECT_FALSE(fs::exists(pdfs() / "A.pdf")) << "the hot folder only submits";
  EXPECT_TRUE(fs::exists(hot / "Export/Out/A.indd"));

  auto w = worker("w", {"--until-empty"});
  EXPECT_EQ(w->wait(), 0);
  EXPECT_TRUE(statusHas("done 2, failed 0")) << status();
  EXPECT_TRUE(fs::exists(pdfs() / "A.pdf"));
  EXPECT_TRUE(fs::exists(pdfs() / "B.pdf"));

  // Redis away: the document stays where it was dropped, for a later scan.
  redis->stop();
  test::writeFile(hot / "Export/C.indd", kMinimalDocument);
  scan = test::runProcess(KORVEX_EXE, {"hotfolder", "--once"});
  EXPECT_EQ(scan.exitCode, 0) << scan.err;
  EXPECT_TRUE(fs::exists(hot / "Export/C.indd"));
  EXPECT_FALSE(fs::exists(hot / "Export/Out/C.indd"));
}

TEST_F(Queue, BadArgumentsAndAnUnreachableServer) {
  EXPECT_EQ(test::runProcess(KORVEX_EXE, {"queue", "submit", "--chain", pdfChain()}).exitCode, 2);
  auto bad = test::runProcess(KORVEX_EXE, {"queue", "status", "--redis", "http://x"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("http://x: not a Redis address"), std::string::npos) << bad.err;
  EXPECT_EQ(test::runProcess(KORVEX_EXE, {"worker", "--lease", "0"}).exitCode, 2);
  redis->stop();
  auto down = korvex({"queue", "status"});
  EXPECT_EQ(down.exitCode, 1);
  EXPECT_NE(down.err.find(redis->url() + ": cannot connect"), std::string::npos) << down.err;
}

}  // namespace
}  // namespace korvex
