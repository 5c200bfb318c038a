#include <gtest/gtest.h>

#include <filesystem>

#include "batch/action_dispatch.h"
#include "batch/korvex_controller.h"
#include "batch_test_support.h"
#include "docmodel/documents.h"
#include "foundation/log.h"
#include "host/document_file.h"
#include "run/run_values.h"

namespace korvex {
namespace {

namespace fs = std::filesystem;
using test::BatchTest;
using Lines = std::vector<std::string>;

const std::string kSeparator(62, '-');

// Records what the run shows; cancels at the given poll (counting from 1).
class FakeProgress : public ProgressWindow {
 public:
  explicit FakeProgress(int cancelAtPoll = 0) : _cancelAt(cancelAtPoll) {}
  void begin(std::size_t count) override { events.push_back("begin " + std::to_string(count)); }
  void setLabel(std::size_t index, std::string_view name) override {
    events.push_back(std::to_string(index) + " " + std::string(name));
  }
  bool runModalSession() override { return ++_polls != _cancelAt; }
  void end() override { events.push_back("end"); }
  std::vector<std::string> events;

 private:
  int _cancelAt;
  int _polls = 0;
};

RunOutcome run(const std::vector<std::string>& paths, ArrayPtr chain, ProgressWindow& progress) {
  KorvexController controller(progress);
  controller.setPaths(paths);
  controller.setActions(std::move(chain));
  return controller.doProgressDialog();
}

RunOutcome run(const std::vector<std::string>& paths, ArrayPtr chain) {
  FakeProgress progress;
  return run(paths, std::move(chain), progress);
}

TEST_F(BatchTest, LogOfARunWithADisabledActionAndAMissingPath) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  const std::string missing = (home.scratch() / "missing.indd").string();
  FakeProgress progress;
  EXPECT_EQ(run({a, missing, b}, chainOf({"#PDF"}), progress), RunOutcome::Completed);
  EXPECT_EQ(logLines(), (Lines{kSeparator, a, "action: #PDF", "\t####\taction not supported", "...done",
                               kSeparator, missing, "\t####\tpath not found!", "...done", kSeparator, b,
                               "action: #PDF", "\t####\taction not supported", "...done"}));
  EXPECT_EQ(progress.events, (Lines{"begin 3", "0 a.indd", "1 missing.indd", "2 b.indd", "end"}));
  EXPECT_TRUE(getShowLog());
  EXPECT_FALSE(getShowLog()) << "reading the flag clears it";
  EXPECT_EQ(getNumberOfDocs(), 0) << "documents the run opened are closed";
  EXPECT_TRUE(fs::exists(a));
}

TEST_F(BatchTest, UnknownActionFailsTheDocumentAndStopsTheRun) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  for (const char* name : {"pdf", ""}) {
    setupLog(true, "Tamrisk");
    EXPECT_EQ(run({a, b}, chainOf({name, "#never"})), RunOutcome::Failed) << name;
    EXPECT_EQ(logLines(), (Lines{kSeparator, a, std::string("action: ") + name,
                                 "\t####\taction not supported", "...done"}));
    EXPECT_EQ(getNumberOfDocs(), 0);
  }
  // An action without a name is logged as "(null)" and fails too.
  setupLog(true, "Tamrisk");
  ArrayPtr unnamed = Array::make({Value(Dictionary::make())});
  EXPECT_EQ(run({a}, unnamed), RunOutcome::Failed);
  EXPECT_EQ(logLines(), (Lines{kSeparator, a, "action: (null)", "\t####\taction not supported", "...done"}));
}

TEST_F(BatchTest, ChainElementThatIsNoDictionaryFailsSilently) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  ArrayPtr chain = chainOf({"#X"});
  chain->append("PDF");
  chain->append(chainOf({"#Y"}));
  EXPECT_EQ(run({a, b}, chain), RunOutcome::Failed);
  EXPECT_EQ(logLines(), (Lines{kSeparator, a, "action: #X", "\t####\taction not supported", "...done"}));
}

TEST_F(BatchTest, EmptyAndNullChainsTakeEveryDocument) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  EXPECT_EQ(run({a, b}, Array::make()), RunOutcome::Completed);
  EXPECT_EQ(run({a}, nullptr), RunOutcome::Completed);
  EXPECT_EQ(logLines(),
            (Lines{kSeparator, a, "...done", kSeparator, b, "...done", kSeparator, a, "...done"}));
  EXPECT_FALSE(getShowLog());
}

TEST_F(BatchTest, HandlersAreCalledInChainOrderWithTheirDocumentForm) {
  const std::string a = makeDoc("a.indd");
  std::vector<std::string> calls;
  setActionHandler("PDF", MyDocHandler([&](MyDoc& doc, const DictPtr& action) {
                     calls.push_back("PDF " + doc.getName().value_or("?") + " " +
                                     action->get("Style").stringValue().value_or(""));
                     return true;
                   }));
  setActionHandler("Print", DocumentHandler([&](IDocument* doc, const DictPtr&) {
                     calls.push_back("Print " + pathForDoc(doc).value_or("?"));
                     return false;
                   }));
  setActionHandler("JSX", DictionaryHandler([&](const DictPtr&) {
                     calls.push_back("JSX");
                     return true;
                   }));
  ArrayPtr chain = chainOf({"JSX", "PDF", "Print", "JSX"});
  chain->at(1).dictionary()->set("Style", "Druck");
  EXPECT_EQ(run({a}, chain), RunOutcome::Failed);
  EXPECT_EQ(calls, (Lines{"JSX", "PDF a.indd Druck", "Print " + a}));
  EXPECT_EQ(logLines(), (Lines{kSeparator, a, "action: JSX", "action: PDF", "action: Print", "...done"}));
  EXPECT_FALSE(getShowLog());
}

TEST_F(BatchTest, DocumentAlreadyOpenIsProcessedInPlaceAndStaysOpen) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  const UIDRef open = openDoc2(a, true);
  ASSERT_TRUE(open.isValid());
  int calls = 0;
  setActionHandler("Schnappi", DocumentHandler([&](IDocument* doc, const DictPtr&) {
                     ++calls;
                     doc->createLayer("Changed");
                     setSaveProject(true);
                     return false;
                   }));
  // Its failing chain does not stop the run; the next document fails and stops it.
  EXPECT_EQ(run({a, b}, chainOf({"Schnappi"})), RunOutcome::Failed);
  EXPECT_EQ(calls, 2);
  ASSERT_EQ(getNumberOfDocs(), 1);
  EXPECT_EQ(docRefForPath(a), open);
  EXPECT_EQ(app().windowCount(documentForRef(open)), 1);
  EXPECT_TRUE(open.GetDataBase()->IsModified()) << "an open document is not saved by the run";
  auto reread = loadDocumentFile(a);
  ASSERT_TRUE(reread.document);
  EXPECT_EQ(reread.document->findLayer("Changed"), nullptr);
  // The opened one was saved although its chain failed.
  auto savedB = loadDocumentFile(b);
  ASSERT_TRUE(savedB.document);
  EXPECT_NE(savedB.document->findLayer("Changed"), nullptr);
}

TEST_F(BatchTest, SaveProjectFlagSavesModifiedDocumentsFromThenOn) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd"), c = makeDoc("c.indd");
  setActionHandler("PDF", DocumentHandler([](IDocument* doc, const DictPtr&) {
                     doc->createLayer("ByPDF");
                     return true;
                   }));
  setActionHandler("Schnappi", DocumentHandler([](IDocument*, const DictPtr&) {
                     setSaveProject(true);
                     return true;
                   }));
  auto hasLayer = [](const std::string& path, const char* layer) {
    auto loaded = loadDocumentFile(path);
    return loaded.document && loaded.document->findLayer(layer) != nullptr;
  };
  EXPECT_EQ(run({a}, chainOf({"PDF"})), RunOutcome::Completed);
  EXPECT_FALSE(hasLayer(a, "ByPDF")) << "no save without the flag";
  // The flag set by the second document's chain also saves the first
  // change of that document; and it stays set for later runs.
  EXPECT_EQ(run({b}, chainOf({"PDF", "Schnappi"})), RunOutcome::Completed);
  EXPECT_TRUE(hasLayer(b, "ByPDF"));
  EXPECT_EQ(run({c}, chainOf({"PDF"})), RunOutcome::Completed);
  EXPECT_TRUE(hasLayer(c, "ByPDF"));
  EXPECT_TRUE(getSaveProject());
}

TEST_F(BatchTest, DestinationFolderReceivesTheClosedDocument) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  const fs::path errors = home.scratch() / "Errors";
  fs::create_directories(errors);
  test::writeFile(errors / "a.indd", "older");
  std::optional<std::string> target = errors.string();
  setActionHandler("Preflight", DocumentHandler([&](IDocument*, const DictPtr&) {
                     setDstFolder(target);
                     return false;
                   }));
  // A failing document is still moved, then the run stops.
  EXPECT_EQ(run({a, b}, chainOf({"Preflight"})), RunOutcome::Failed);
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(loadDocumentFile((errors / "a.indd").string()).document) << "the older file is replaced";
  EXPECT_EQ(test::readFile(home.dataHome() / "Trash/files/a.indd"), "older") << "and kept in the Trash";
  EXPECT_EQ(logLines(), (Lines{kSeparator, a, "action: Preflight", "\t" + a + " --> " + errors.string(),
                               "\tmoved to the Trash: " + (errors / "a.indd").string(), "...done"}));
  EXPECT_FALSE(getShowLog());

  // A missing folder and a file are no destination: the file stays.
  for (const fs::path& bad : {home.scratch() / "Missing" / "Deeper", fs::path(b)}) {
    setupLog(true, "Tamrisk");
    target = bad.string();
    EXPECT_EQ(run({b}, chainOf({"Preflight"})), RunOutcome::Failed);
    EXPECT_TRUE(fs::is_regular_file(b));
    EXPECT_FALSE(fs::exists(bad / "b.indd"));
    EXPECT_EQ(logLines(), (Lines{kSeparator, b, "action: Preflight",
                                 "\t####\tUngültiger Zielordner (" + bad.string() + ")", "...done"}));
    EXPECT_TRUE(getShowLog());
  }
}

TEST_F(BatchTest, CancelTakesEffectBeforeTheNextDocument) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  FakeProgress progress(2);
  KorvexController controller(progress);
  controller.setPaths({a, b});
  controller.setActions(chainOf({"#X"}));
  EXPECT_EQ(controller.doProgressDialog(), RunOutcome::Cancelled);
  EXPECT_EQ(controller.takenCount(), 1u);
  EXPECT_EQ(progress.events, (Lines{"begin 2", "0 a.indd", "1 b.indd", "end"}));
  EXPECT_EQ(logLines(), (Lines{kSeparator, a, "action: #X", "\t####\taction not supported", "...done"}));
}

TEST_F(BatchTest, UnreadableDocumentIsPassedOverWithAFlaggedLine) {
  const fs::path bad = home.scratch() / "bad.indd";
  test::writeFile(bad, "not a document");
  const std::string a = makeDoc("a.indd");
  EXPECT_EQ(run({bad.string(), a}, Array::make()), RunOutcome::Completed);
  Lines lines = logLines();
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[2].rfind("\t####\tcould not open: ", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3], "...done");
  EXPECT_TRUE(getShowLog());
}

TEST_F(BatchTest, HandlerThatClosesItsDocumentLeavesTheRunSound) {
  const std::string a = makeDoc("a.indd"), b = makeDoc("b.indd");
  setSaveProject(true);
  setActionHandler("Save", MyDocHandler([](MyDoc& doc, const DictPtr&) {
                     doc.close();
                     return true;
                   }));
  EXPECT_EQ(run({a, b}, chainOf({"Save", "#X"})), RunOutcome::Completed);
  EXPECT_EQ(getNumberOfDocs(), 0);
  EXPECT_EQ(logLines(), (Lines{kSeparator, a, "action: Save", "\t####\tdocument closed, the chain ends here",
                               "...done", kSeparator, b, "action: Save",
                               "\t####\tdocument closed, the chain ends here", "...done"}));
}

TEST(ActionDispatch, TableNamesAndLookups) {
  std::vector<std::string> names;
  for (const ActionTableRow& row : actionTable()) names.emplace_back(row.name);
  EXPECT_EQ(names, (Lines{"CollectPictures", "DUZSeverance", "Checkstr", "Collect", "Orvel", "Save", "PDF",
                          "Vantry", "LayerSeparation", "JSX", "Preflight", "Print", "Bildaktualisierung",
                          "SetEmbeddedProfile", "AddLinks", "PN_Trennung", "Schnappi"}));
  EXPECT_FALSE(setActionHandler("pdf", DictionaryHandler([](const DictPtr&) { return true; })));

  DictPtr action = Dictionary::make();
  EXPECT_EQ(cmdForAction(action), std::nullopt);
  action->set("Action", 3);
  EXPECT_EQ(cmdForAction(action), std::nullopt);
  action->set("Action", "PDF");
  EXPECT_EQ(cmdForAction(Value(action)), "PDF");
  EXPECT_EQ(cmdForAction(Value("PDF")), std::nullopt);

  EXPECT_TRUE(processDocWithActions(UIDRef(), Array::make({Value(action)})))
      << "no document: nothing to fail";
}

}  // namespace
}  // namespace korvex
