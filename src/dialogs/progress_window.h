#pragma once

// The progress window of a batch run: a bar over the documents, a label with
// the current document's name, and a modal session polled once per document.

#include <cstddef>
#include <string_view>

namespace korvex {

class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  // Shows the window for count documents and begins its modal session.
  virtual void begin(std::size_t count) = 0;
  // The document about to be processed (index counts from 0).
  virtual void setLabel(std::size_t index, std::string_view name) = 0;
  // Polls the modal session; false once the user cancelled.
  virtual bool runModalSession() = 0;
  // Ends the session and hides the window.
  virtual void end() = 0;
};

}  // namespace korvex
