// Builds report-shaped documents of growing size the way the scanner does
// (sections built by appending children, then inserted under a group element
// of the report), writes them and parses them back, and prints the figures.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "xml/markup.h"

namespace {

constexpr int kSections = 10;
constexpr int kLeavesPerEntry = 4;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Processor time is printed beside wall time because the benchmark usually
// shares the machine with builds.
double CpuSeconds(std::clock_t since) { return static_cast<double>(std::clock() - since) / CLOCKS_PER_SEC; }

double MegabytesPerSecond(size_t bytes, double seconds) { return seconds > 0 ? bytes / 1e6 / seconds : 0; }

// Like the report driver, one section document is emptied and reused.
void BuildSection(CMarkup& xml, int section, int entries) {
  xml.SetDoc(nullptr);
  xml.AddElem("Section");
  xml.AddAttrib("Schema", 1);
  xml.AddAttrib("Index", section);
  for (int i = 0; i < entries; ++i) {
    xml.AddChildElem("Entry");
    xml.AddChildAttrib("Index", i);
    xml.IntoElem();
    xml.AddChildElem("Name", "Sensor <name> & more");
    xml.AddChildElem("Value", i * 7);
    xml.AddChildElem("Status", "OK");
    xml.AddChildElem("Raw", "01 02 03 ]]> 04", CMarkup::MNF_WITHCDATA);
    xml.OutOfElem();
  }
}

// Report skeleton, then per section a Content item in the Summary (which
// moves everything after it) and the section inserted as System's last child.
CMarkup BuildReport(int leaves) {
  CMarkup report;
  report.AddElem("Root");
  report.AddAttrib("Schema", 2);
  report.AddChildElem("Summary");
  report.IntoElem();
  report.AddChildElem("Content");
  report.OutOfElem();
  report.AddChildElem("System");
  report.AddChildElem("OperatingSystem");
  const int entriesPerSection = leaves / kLeavesPerEntry / kSections;
  CMarkup section;
  for (int s = 0; s < kSections; ++s) {
    report.ResetPos();
    report.FindElem("Root");
    report.FindChildElem("Summary");
    report.IntoElem();
    report.FindChildElem("Content");
    report.IntoElem();
    report.AddChildElem("Item");
    report.AddChildAttrib("Name", "System/Section" + std::to_string(s));

    report.ResetPos();
    report.FindElem("Root");
    report.FindChildElem("System");
    report.IntoElem();
    BuildSection(section, s, entriesPerSection);
    report.AddChildSubDoc(section.GetDoc());
  }
  report.ResetPos();
  report.InsertNode(CMarkup::MNT_PROCESSING_INSTRUCTION, "xml version=\"1.0\" encoding=\"UTF-8\"");
  return report;
}

}  // namespace

int main() {
  const std::string path = "/tmp/xml_bench_" + std::to_string(getpid()) + ".xml";
  double buildSeconds[3] = {};
  double buildCpuSeconds[3] = {};
  double parseLarge = 0;
  const int sizes[3] = {10000, 100000, 1000000};
  std::printf("%-9s %10s %9s %9s %9s %9s %9s %9s %9s\n", "leaves", "bytes", "build s", "cpu s", "MB/s", "write s",
              "MB/s", "parse s", "MB/s");
  for (int k = 0; k < 3; ++k) {
    auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    CMarkup report = BuildReport(sizes[k]);
    buildSeconds[k] = Seconds(start);
    buildCpuSeconds[k] = CpuSeconds(cpuStart);
    const size_t bytes = report.GetDoc().size();

    start = std::chrono::steady_clock::now();
    if (!report.Save(path)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
    const double writeSeconds = Seconds(start);

    CMarkup parsed;
    start = std::chrono::steady_clock::now();
    const bool wellFormed = parsed.Load(path);
    const double parseSeconds = Seconds(start);
    if (!wellFormed || parsed.GetDoc() != report.GetDoc()) {
      std::fprintf(stderr, "parsed document differs or is not well-formed\n");
      return 1;
    }
    if (k == 2) parseLarge = parseSeconds;
    std::printf("%-9d %10zu %9.3f %9.3f %9.1f %9.3f %9.1f %9.3f %9.1f\n", sizes[k], bytes, buildSeconds[k],
                buildCpuSeconds[k], MegabytesPerSecond(bytes, buildSeconds[k]), writeSeconds,
                MegabytesPerSecond(bytes, writeSeconds), parseSeconds, MegabytesPerSecond(bytes, parseSeconds));
  }
  std::printf("build time ratio 10^6 / 10^5 leaves: %.2f wall, %.2f cpu (limit 12)\n", buildSeconds[2] / buildSeconds[1],
              buildCpuSeconds[2] / buildCpuSeconds[1]);

  if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
    const std::string command = "xmllint --noout " + path;
    auto start = std::chrono::steady_clock::now();
    const int rc = std::system(command.c_str());
    const double lintSeconds = Seconds(start);
    std::printf("xmllint --noout on 10^6 leaves: %.3f s (exit %d); our parse / xmllint: %.2f\n", lintSeconds, rc,
                parseLarge / lintSeconds);
  }
  std::remove(path.c_str());
  return 0;
}
