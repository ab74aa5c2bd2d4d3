// Parses arbitrary bytes as an XML document, reads it the way the sections
// and the profile reader do, and inserts it into a report skeleton the way
// the report driver inserts a section. A document the incremental editing
// calls well-formed must still be well-formed when its text is parsed anew.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "xml/markup.h"

namespace {

constexpr int kMaxDepth = 64;
constexpr int kMaxAttribs = 32;

void Walk(CMarkup& doc, int depth) {
  while (doc.FindElem()) {
    doc.GetTagName();
    doc.GetData();
    doc.GetAttrib("Name");
    for (int n = 0; n < kMaxAttribs && !doc.GetAttribName(n).empty(); ++n) {
    }
    doc.GetSubDoc();
    if (depth < kMaxDepth && doc.IntoElem()) {
      Walk(doc, depth + 1);
      doc.OutOfElem();
    }
  }
}

void CheckAgreesWithFreshParse(const CMarkup& doc) {
  if (doc.IsWellFormed() && !CMarkup(doc.GetDoc().c_str()).IsWellFormed()) std::abort();
}

// Root/System as the report driver builds it, with `section` inserted.
void InsertAsSection(const std::string& section) {
  CMarkup report;
  report.AddElem("Root");
  report.AddChildElem("System");
  report.IntoElem();
  report.AddChildSubDoc(section);
  CheckAgreesWithFreshParse(report);
  report.AddChildElem("After", "tail");
  CheckAgreesWithFreshParse(report);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = FuzzText(data, size);
  CMarkup doc;
  doc.SetDoc(text.c_str());
  doc.IsWellFormed();
  Walk(doc, 0);

  doc.ResetPos();
  if (doc.FindElem()) {
    // Values taken from the input are escaped, whatever they hold.
    doc.SetAttrib("Fuzz", text.c_str());
    doc.AddChildElem("Value", text.c_str());
    CheckAgreesWithFreshParse(doc);
    InsertAsSection(doc.GetSubDoc());
  }
  InsertAsSection(text.c_str());
  return 0;
}
