#include "host/output/print.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "foundation/folders.h"
#include "foundation/hfs_path.h"
#include "foundation/log.h"
#include "host/document.h"
#include "host/output/pdf_export.h"

namespace korvex {

namespace fs = std::filesystem;

namespace {

// A file in the temporary folder, removed when the object goes.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& suffix) {
    std::string pattern = temporaryDirectory() + "/korvex-print-XXXXXX" + suffix;
    const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd >= 0) {
      close(fd);
      path_ = pattern;
    }
  }
  ~TemporaryFile() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove(path_, ec);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }
  bool valid() const { return !path_.empty(); }

 private:
  std::string path_;
};

// Runs a program without a shell; its standard error's last line goes into message.
bool run(const std::vector<std::string>& args, std::string* message) {
  TemporaryFile errors(".txt");
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    if (message) *message = "can't start " + args[0];
    return false;
  }
  if (pid == 0) {
    const int null = open("/dev/null", O_RDWR);
    const int err = errors.valid() ? open(errors.path().c_str(), O_WRONLY | O_TRUNC) : null;
    dup2(null, STDIN_FILENO);
    dup2(null, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (message) {
    std::ifstream in(errors.path());
    std::string line, last;
    while (std::getline(in, line))
      if (!line.empty()) last = line;
    *message = args[0] + " failed" + (last.empty() ? std::string() : ": " + last);
  }
  return false;
}

// Ghostscript reads %d and friends in output file names.
std::string escapePercent(const std::string& path) {
  std::string out;
  for (char c : path) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

PrintResult failed(ErrorCode code, std::string message) {
  MyLog("\t####\tPrint: %@", message);
  PrintResult result;
  result.error = code;
  result.message = std::move(message);
  return result;
}

}  // namespace

std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate)) return candidate;
  }
  return {};
}

ErrorCode postScriptFromPdf(const std::string& pdfBytes, const std::string& psPath, std::string* message,
                            OlderOutput older) {
  TemporaryFile pdf(".pdf");
  TemporaryFile ps(".ps");
  if (!pdf.valid() || !ps.valid()) {
    if (message) *message = "can't make a temporary file in " + temporaryDirectory();
    return kFileWriteError;
  }
  {
    std::ofstream out(pdf.path(), std::ios::binary);
    out.write(pdfBytes.data(), static_cast<std::streamsize>(pdfBytes.size()));
    if (!out.flush()) {
      if (message) *message = "can't write " + pdf.path();
      return kFileWriteError;
    }
  }
  if (findProgram("gs").empty()) {
    if (message) *message = "Ghostscript (gs) is not installed: no PostScript can be made";
    return kFailure;
  }
  // Made aside and put in place whole, so a failed print leaves an older file as it was.
  std::string why;
  if (!run({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=ps2write",
            "-sOutputFile=" + escapePercent(ps.path()), pdf.path()},
           &why)) {
    if (message) *message = why;
    return kFileWriteError;
  }
  std::ifstream in(ps.path(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    if (message) *message = "can't read " + ps.path();
    return kFileWriteError;
  }
  if (Status written = writeOutputFile(psPath, bytes, older); !written) {
    if (message) *message = written.message();
    return kFileWriteError;
  }
  return kSuccess;
}

PrintStyleList& PrintService::styles() {
  if (!styles_) styles_ = PrintStyleList::load();
  return *styles_;
}

void PrintService::reload() {
  styles_.reset();
}

PrintResult PrintService::print(IDocument& document, const std::string& styleName) {
  const PrintStyle* style = styles().find(styleName);
  if (!style) return failed(kObjectNotFoundError, "no print style named \"" + styleName + "\"");
  return print(document, *style);
}

PrintResult PrintService::print(IDocument& document, const PrintStyle& style, OlderOutput older) {
  std::string target;
  std::string lp;
  if (style.destination == kPrintToPrinter) {
    lp = findProgram("lp");
    if (lp.empty()) return failed(kFailure, "lp is not installed: can't print to a printer without CUPS");
  } else {
    target = pathWithString(style.outputFile).value_or(std::string());
    if (target.empty())
      return failed(kInvalidParameterError, "print style \"" + style.name + "\" has no output file name");
    std::string refusal;
    if (ErrorCode refused = checkOutputPath(target, &refusal); refused != kSuccess) return failed(refused, refusal);
  }

  PdfExportStyle pdfStyle;
  pdfStyle.name = style.name;
  pdfStyle.exportSpreads = style.spreads;
  PdfExportRequest request;
  request.spreads = style.spreads;
  std::string bytes;
  PdfExportResult pdf = renderPdf(document, pdfStyle, request, bytes);
  if (pdf.error != kSuccess) return failed(pdf.error, pdf.message);

  PrintResult result;
  result.pages = pdf.pages;
  result.warnings = std::move(pdf.warnings);
  result.undrawable = std::move(pdf.undrawable);
  std::string why;
  if (style.destination != kPrintToPrinter) {
    if (ErrorCode code = postScriptFromPdf(bytes, target, &why, older); code != kSuccess)
      return failed(code, why);
    result.outputFile = target;
    return result;
  }
  TemporaryFile ps(".ps");
  if (!ps.valid()) return failed(kFileWriteError, "can't make a temporary file in " + temporaryDirectory());
  if (ErrorCode code = postScriptFromPdf(bytes, ps.path(), &why); code != kSuccess) return failed(code, why);
  std::vector<std::string> args{lp};
  if (!style.printer.empty()) args.insert(args.end(), {"-d", style.printer});
  args.insert(args.end(), {"-n", std::to_string(style.copies), "-t", document.GetName(), ps.path()});
  if (!run(args, &why)) return failed(kFailure, why);
  return result;
}

PrintService& printService(Session& session) {
  if (auto* found =
          dynamic_cast<PrintService*>(session.services().find(ServiceKind::Print, kPrintServiceName)))
    return *found;
  auto service = std::make_unique<PrintService>();
  PrintService* raw = service.get();
  session.services().add(ServiceKind::Print, std::move(service));
  return *raw;
}

}  // namespace korvex
