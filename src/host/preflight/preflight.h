#pragma once

// The host's preflight: a document checked against a profile's rules, run
// synchronously. The service keeps the profile list and each document's
// results; a profile is assigned to a document and kept in it.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/preflight/preflight_profile.h"
#include "host/session.h"

namespace korvex {

inline constexpr const char* kPreflightServiceName = "Preflight";

// Rule names as results carry them.
inline constexpr const char* kRuleMissingLinks = "Missing links";
inline constexpr const char* kRuleModifiedLinks = "Modified links";
inline constexpr const char* kRuleUndrawableLinks = "Links that can't be drawn";
inline constexpr const char* kRuleMissingFonts = "Missing fonts";
inline constexpr const char* kRuleOversetText = "Overset text";
inline constexpr const char* kRuleImageResolution = "Image resolution";
inline constexpr const char* kRuleColorModel = "Colour model not allowed";
inline constexpr const char* kRuleStrokeWeight = "Stroke weight";

struct PreflightError {
  std::string rule;
  int page = 0;  // counted from 1; 0 when the item is on no page (pasteboard, no item)
  UID item = kInvalidUID;
  std::string description;
  friend bool operator==(const PreflightError&, const PreflightError&) = default;
};

// Where a story's text stops fitting its frames: the first character that is
// overset, or -1 when it all fits.
using OversetProbe = std::function<int(const IDocument& document, UID story)>;

// What the host's text model tells: the installed text layout's overset
// start; without a layout, a story with text and no frame to show it is
// overset from its start and a framed story counts as fitting.
int textModelOverset(const IDocument& document, UID story);

// Checks the document against the profile, rule by rule in the profile's order.
std::vector<PreflightError> runPreflight(const IDocument& document, const PreflightProfile& profile,
                                         const OversetProbe& overset = textModelOverset);

enum class PreflightState { NotProcessed = 0, Complete = 1 };

// The document's aggregated results: one entry per processed profile, whose
// data lists the errors.
struct PreflightResultEntry {
  std::string profile;
  std::vector<PreflightError> data;
};

class PreflightService : public Service {
 public:
  std::string name() const override { return kPreflightServiceName; }

  // The profile list, read on first use; reload() after profiles changed on disk.
  const PreflightProfileList& profiles();
  void reload();

  // Overset text is measured with this probe (the composer, when the output
  // services are there); without one the text model decides.
  void setOversetProbe(OversetProbe probe) { overset_ = std::move(probe); }

  // Readies the service for a document: earlier results are dropped.
  void prepare(const IDocument& document);
  // Assigns the profile at index in the list to the document; kept in the document.
  ErrorCode assignProfile(IDocument& document, int index);
  // The document's profile: the one assigned when the list has it, else "[Basic]".
  const PreflightProfile& profileOf(const IDocument& document);

  // Brings the document's results up to date; the work completes before it returns.
  ErrorCode process(const IDocument& document);
  // Complete while the document is unchanged since it was processed.
  PreflightState state(const IDocument& document) const;
  // Empty until processed; afterwards exactly one entry.
  std::vector<PreflightResultEntry> aggregatedResults(const IDocument& document) const;
  void forget(const IDocument& document);

 private:
  std::optional<PreflightProfileList> profiles_;
  OversetProbe overset_;
  // By database serial, so a closed document's results never pass for a new
  // one's; a change to the document since processing makes them stale.
  struct Stored {
    std::uint64_t changes = 0;
    PreflightResultEntry entry;
  };
  const Stored* current(const IDocument& document) const;
  std::map<std::uint64_t, Stored> results_;
};

// The service installed in the session's registry, installed on first ask.
PreflightService& preflightService(Session& session);

}  // namespace korvex
