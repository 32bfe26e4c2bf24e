#include "report/trend_svg.h"

#include <algorithm>
#include <cmath>

#include "report/number_format.h"
#include "util/dates.h"

namespace vex {
namespace {

// The drawing area, in the units of the viewBox.  The value labels sit
// inside the panels at their right end and the legend has a row of its
// own, so no text reaches past the chart's box however large the narrow
// screen's font makes it.
constexpr double kWidth = 480, kHeight = 324;
constexpr double kLeft = 6, kRight = 474;
constexpr double kPanelHeight = 104;
constexpr double kFilesTop = 50, kSizeTop = 192;
// Width of a character of the narrow screen's font (18 units), in viewBox units.
constexpr double kCharWidth = 11.5;
// Fills by class, from the chart's own style sheet: "i" incoming, "o"
// outgoing.
constexpr const char* kIn = "i";
constexpr const char* kOut = "o";

std::string Num(double v) { return FixedText(v, 1); }

// The top of a value axis: a round number at or above the largest value,
// in the unit its labels are written in.
struct Scale {
  double top = 1;      // in the values' own measure (files or bytes)
  double divisor = 1;  // of a label's number
  std::string unit;
  std::string Label(double value) const {
    double v = value / divisor;
    bool whole = std::fabs(v - std::round(v)) < 1e-9;
    return FixedText(v, whole ? 0 : 1) + unit;
  }
};

double RoundUp(double v) {  // 1, 2, 2.5, 5 times a power of ten
  if (v <= 0) return 1;
  double p = std::pow(10.0, std::floor(std::log10(v)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (m * p >= v - 1e-9) return m * p;
  return 10 * p;
}

Scale FilesScale(double max) {
  Scale s;
  s.top = std::max(4.0, RoundUp(max));
  // The middle line is a whole number of files.
  if (std::fmod(s.top, 2) != 0) s.top = RoundUp(s.top * 1.01);
  return s;
}

Scale SizeScale(double max, const ReportWords& words) {
  Scale s;
  int unit = 0;
  while (unit < 4 && max / s.divisor >= 1000) s.divisor *= 1024, ++unit;
  s.unit = " " + words.units[unit];
  s.top = RoundUp(std::max(max / s.divisor, 1.0)) * s.divisor;
  return s;
}

std::string Text(double x, double y, const std::string& anchor,
                 const std::string& text) {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" text-anchor=\"" +
         anchor + "\">" + text + "</text>";
}

std::string Rect(double x, double y, double w, double h, const std::string& fill) {
  return "<rect x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" width=\"" + Num(w) +
         "\" height=\"" + Num(h) + "\" class=\"" + fill + "\"/>";
}

// A word of the template, safe inside the chart's markup.
std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

std::string Line(double x1, double y1, double x2, double y2) {
  return "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" +
         Num(x2) + "\" y2=\"" + Num(y2) + "\"/>";
}

std::string ShortDate(CalendarDate d) {
  return ZeroPad(NumberText(d.day), 2) + "." + ZeroPad(NumberText(d.month), 2);
}

// One panel: title, value grid with labels, and a stacked bar per row.
template <typename In, typename Out>
void Panel(std::vector<std::string>& out, const std::vector<TrendRow>& rows,
           double top, const std::string& title, const Scale& scale, In in,
           Out outgoing) {
  const double bottom = top + kPanelHeight;
  out.push_back(Text(kLeft, top - 8, "start", Escaped(title)));
  for (int i = 0; i <= 2; ++i) {
    double y = bottom - kPanelHeight * i / 2;
    out.push_back(Line(kLeft, y, kRight, y));
  }
  const double step = (kRight - kLeft) / static_cast<double>(rows.size());
  const double bar = std::max(step * 0.8, 0.6);
  for (size_t i = 0; i < rows.size(); ++i) {
    double x = kLeft + step * static_cast<double>(i) + (step - bar) / 2;
    double hIn = kPanelHeight * static_cast<double>(in(rows[i])) / scale.top;
    double hOut = kPanelHeight * static_cast<double>(outgoing(rows[i])) / scale.top;
    const std::string p = rows[i].partial ? " p" : "";
    if (hIn > 0) out.push_back(Rect(x, bottom - hIn, bar, hIn, kIn + p));
    if (hOut > 0) out.push_back(Rect(x, bottom - hIn - hOut, bar, hOut, kOut + p));
  }
  // The labels of the top and middle lines, over the bars, at the right.
  for (int i = 1; i <= 2; ++i) {
    double y = bottom - kPanelHeight * i / 2;
    out.push_back("<text class=\"v\" x=\"" + Num(kRight - 2) + "\" y=\"" + Num(y - 3) +
                  "\" text-anchor=\"end\">" + Escaped(scale.Label(scale.top * i / 2)) +
                  "</text>");
  }
}

}  // namespace

std::vector<std::string> TrendSvgLines(const std::vector<TrendRow>& rows,
                                       const ReportSettings& settings) {
  const ReportWords& words = settings.words;
  std::vector<std::string> out;
  std::string period =
      rows.empty() ? std::string()
                   : DateText(rows.front().first) + " - " + DateText(rows.back().last);
  out.push_back("<svg xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" class=\"vxt\"");
  out.push_back(" viewBox=\"0 0 " + Num(kWidth) + " " + Num(kHeight) +
                "\" style=\"width:100%;height:auto\"");
  out.push_back(" font-family=\"sans-serif\" font-size=\"11\" fill=\"#374151\">");
  out.push_back("<title>" + Escaped(words.files + " / " + words.size) + ", " + period +
                "</title>");
  // The style sheet of an inline chart is the page's: every rule names the
  // chart.  On a narrow screen the text grows to stay readable.  Labels
  // over bars keep a white edge; partial weeks and months are paler.
  out.push_back("<style>.vxt .i{fill:#2563eb}.vxt .o{fill:#f59e0b}");
  out.push_back(".vxt .p{opacity:.4}.vxt line{stroke:#d1d5db}");
  out.push_back(".vxt .v{paint-order:stroke;stroke:#fff;stroke-width:3px}");
  out.push_back("@media (max-width:36rem){.vxt text{font-size:18px}}</style>");
  if (rows.empty()) {
    out.push_back(Text(kWidth / 2, kHeight / 2, "middle", Escaped(words.noDays)));
    out.push_back("</svg>");
    return out;
  }
  double maxFiles = 0, maxSize = 0;
  for (const TrendRow& r : rows) {
    maxFiles = std::max(maxFiles, static_cast<double>(r.totals.totalFiles));
    maxSize = std::max(maxSize, static_cast<double>(r.totals.totalSize));
  }
  // Legend, a row of its own at the top: a swatch and a word each.
  bool anyPartial = false;
  for (const TrendRow& r : rows) anyPartial = anyPartial || r.partial;
  double legendX = kLeft;
  auto legend = [&](const std::string& fill, const std::string& word) {
    out.push_back(Rect(legendX, 6, 10, 10, fill));
    out.push_back(Text(legendX + 14, 15, "start", Escaped(word)));
    legendX += 14 + kCharWidth * static_cast<double>(word.size()) + 12;
  };
  legend(kIn, words.in);
  legend(kOut, words.out);
  if (anyPartial) legend(std::string(kIn) + " p", words.partial);
  Panel(out, rows, kFilesTop, words.files, FilesScale(maxFiles),
        [](const TrendRow& r) { return r.totals.filesIn; },
        [](const TrendRow& r) { return r.totals.filesOut; });
  Panel(out, rows, kSizeTop, words.size, SizeScale(maxSize, words),
        [](const TrendRow& r) { return r.totals.sizeIn; },
        [](const TrendRow& r) { return r.totals.sizeOut; });
  // Dates under the lower panel: the first, the last, and about five more.
  const double step = (kRight - kLeft) / static_cast<double>(rows.size());
  const size_t every = std::max<size_t>(1, (rows.size() + 5) / 6);
  const double base = kSizeTop + kPanelHeight;
  for (size_t i = 0; i < rows.size(); i += every) {
    if (i + every / 2 >= rows.size() && i != 0 && rows.size() > 1) break;
    double x = kLeft + step * (static_cast<double>(i) + 0.5);
    out.push_back(Line(x, base, x, base + 4));
    out.push_back(Text(x, base + 16, i == 0 ? "start" : "middle",
                       ShortDate(rows[i].first)));
  }
  if (rows.size() > 1) {
    double x = kLeft + step * (static_cast<double>(rows.size()) - 0.5);
    out.push_back(Line(x, base, x, base + 4));
    out.push_back(Text(x, base + 16, "end", ShortDate(rows.back().first)));
  }
  out.push_back("</svg>");
  return out;
}

}  // namespace vex
