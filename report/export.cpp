#include "report/export.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/cp866.h"
#include "util/address.h"
#include "util/dates.h"
#include "util/text.h"

namespace vex {
namespace {

std::string IsoDate(const CalendarDate& d) { return IsoDateText(d); }

// One row of any table, as every format writes it.
struct Row {
  const char* table;
  std::string name;         // tag, address or date (UTF-8)
  std::string description;  // area description, note text (UTF-8)
  std::string kind;         // note kind
  bool split = true;        // in and out figures; else only the sums
  // Of a link, originating system or addressee: the nodelist's names.
  std::string system{}, sysop{}, location{};
  std::string noteFigures{};  // of a note: its figures as JSON members
  int64_t filesIn = 0, filesOut = 0, bytesIn = 0, bytesOut = 0;
  int64_t files() const { return filesIn + filesOut; }
  int64_t bytes() const { return bytesIn + bytesOut; }
};

Row Figures(const char* table, std::string name, const PeriodTotals& t) {
  Row r{table, std::move(name), "", ""};
  r.filesIn = t.filesIn, r.filesOut = t.filesOut;
  r.bytesIn = t.sizeIn, r.bytesOut = t.sizeOut;
  return r;
}

template <typename Stat>
Row Figures(const char* table, std::string name, const Stat& s) {
  Row r{table, std::move(name), "", ""};
  r.filesIn = s.filesIn, r.filesOut = s.filesOut;
  r.bytesIn = s.sizeIn, r.bytesOut = s.sizeOut;
  return r;
}

Row& Named(Row& r, const Nodelist* names, const FtnAddress& address) {
  const NodeNames* n = names ? names->Find(address) : nullptr;
  if (n) {
    r.system = Cp866ToUtf8(n->system);
    r.sysop = Cp866ToUtf8(n->sysop);
    r.location = Cp866ToUtf8(n->location);
  }
  return r;
}

// The area, link, originating-system and addressee rows of one period.
struct PeriodRows {
  std::vector<Row> areas, links, origins, downlinks;
};

PeriodRows CollectRows(const PeriodTables& t, const Nodelist* names, bool previous) {
  PeriodRows out;
  static const char* const kNames[2][4] = {
      {"area", "link", "origin", "downlink"},
      {"previous_area", "previous_link", "previous_origin", "previous_downlink"}};
  const char* const* tn = kNames[previous ? 1 : 0];
  for (const AreaStat& a : t.areas) {
    Row r = Figures(tn[0], Cp866ToUtf8(a.name), a);
    r.description = Cp866ToUtf8(a.description);
    out.areas.push_back(r);
  }
  for (const LinkStat& l : t.links) {
    Row r = Figures(tn[1], AddressToTextUnsigned(l.address), l);
    out.links.push_back(Named(r, names, l.address));
  }
  for (const LinkStat& l : t.originalLinks) {
    Row r = Figures(tn[2], AddressToTextUnsigned(l.address), l);
    out.origins.push_back(Named(r, names, l.address));
  }
  for (const ExpLinkStat& e : t.expLinks) {
    Row r{tn[3], AddressToTextUnsigned(e.address), "", ""};
    r.split = false;
    r.filesIn = e.files, r.bytesIn = e.size;
    out.downlinks.push_back(Named(r, names, e.address));
  }
  return out;
}

std::string JsonString(const std::string& utf8);

// A note's figures, those its kind gives, as JSON members.
std::string NoteFigures(const Note& n, const Nodelist* names) {
  switch (n.kind) {
    case NoteKind::kSilentArea:
    case NoteKind::kSilentLink: {
      std::string out = ", \"days\": " + std::to_string(n.days) + ", \"last_file\": \"" +
                        IsoDate(n.date) + "\"";
      if (n.kind == NoteKind::kSilentArea) return out;
      Row r{"note", "", "", ""};
      Named(r, names, n.address);
      return out + ", \"name\": " + JsonString(r.system) + ", \"sysop\": " +
             JsonString(r.sysop) + ", \"location\": " + JsonString(r.location);
    }
    case NoteKind::kNewArea:
    case NoteKind::kNewOrigin: {
      std::string out = ", \"first_file\": \"" + IsoDate(n.date) + "\"";
      if (n.kind == NoteKind::kNewArea) return out;
      Row r{"note", "", "", ""};
      Named(r, names, n.address);
      return out + ", \"name\": " + JsonString(r.system) + ", \"sysop\": " +
             JsonString(r.sysop) + ", \"location\": " + JsonString(r.location);
    }
    case NoteKind::kSpike: {
      char factor[32];
      std::snprintf(factor, sizeof factor, "%.2f", n.factor);
      return ", \"bytes_per_day\": " + std::to_string(n.perDay) + ", \"factor\": " + factor;
    }
  }
  return std::string();
}

// Every table of the export in one list, in the order the formats write it.
struct Tables {
  Row totals, previousTotals;
  PeriodRows current, previous;
  std::vector<Row> days, notes;
};

Tables Collect(const PeriodTables& t, const PeriodHistory& h) {
  Tables out;
  out.totals = Figures("totals", "", t.totals);
  out.previousTotals = Figures("previous_totals", "", h.previous.totals);
  out.current = CollectRows(t, h.names, false);
  out.previous = CollectRows(h.previous, h.names, true);
  for (const TrendRow& d : h.days) out.days.push_back(Figures("day", IsoDate(d.last), d.totals));
  for (const Note& n : h.notes) {
    Row r{"note", Cp866ToUtf8(n.subject), Cp866ToUtf8(n.text), NoteKindName(n.kind)};
    r.split = false;
    r.noteFigures = NoteFigures(n, h.names);
    out.notes.push_back(r);
  }
  return out;
}

// JSON ----------------------------------------------------------------------

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", u);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonFigures(const Row& r) {
  return "\"files_in\": " + std::to_string(r.filesIn) +
         ", \"files_out\": " + std::to_string(r.filesOut) +
         ", \"bytes_in\": " + std::to_string(r.bytesIn) +
         ", \"bytes_out\": " + std::to_string(r.bytesOut);
}

std::string JsonPeriod(const CalendarDate& from, const CalendarDate& to) {
  return "{\"from\": \"" + IsoDate(from) + "\", \"to\": \"" + IsoDate(to) + "\"}";
}

std::string JsonList(const std::vector<Row>& rows,
                     std::string (*item)(const Row&)) {
  if (rows.empty()) return "[]";
  std::string out = "[\n";
  for (size_t i = 0; i < rows.size(); ++i)
    out += "    {" + item(rows[i]) + "}" + (i + 1 < rows.size() ? ",\n" : "\n");
  return out + "  ]";
}

std::string JsonNames(const Row& r) {
  return "\"name\": " + JsonString(r.system) + ", \"sysop\": " + JsonString(r.sysop) +
         ", \"location\": " + JsonString(r.location) + ", ";
}

// The area, link, originating-system and addressee lists of one period,
// each member on its own line, indented by `indent`.
std::string JsonRows(const PeriodRows& rows, const std::string& indent) {
  std::string out;
  out += indent + "\"areas\": " + JsonList(rows.areas, [](const Row& r) {
    return "\"tag\": " + JsonString(r.name) + ", \"description\": " +
           JsonString(r.description) + ", " + JsonFigures(r);
  }) + ",\n";
  auto address = [](const Row& r) {
    return "\"address\": " + JsonString(r.name) + ", " + JsonNames(r) + JsonFigures(r);
  };
  out += indent + "\"links\": " + JsonList(rows.links, address) + ",\n";
  out += indent + "\"origins\": " + JsonList(rows.origins, address) + ",\n";
  out += indent + "\"downlinks\": " + JsonList(rows.downlinks, [](const Row& r) {
    return "\"address\": " + JsonString(r.name) + ", " + JsonNames(r) + "\"files\": " +
           std::to_string(r.files()) + ", \"bytes\": " + std::to_string(r.bytes());
  });
  return out;
}

std::string Json(const PeriodTables& t, const PeriodHistory& h, const Tables& x) {
  std::string out = "{\n";
  out += "  \"period\": " + JsonPeriod(t.periodStart, t.periodEnd) + ",\n";
  out += "  \"totals\": {" + JsonFigures(x.totals) + "},\n";
  out += JsonRows(x.current, "  ") + ",\n";
  out += "  \"previous\": {\"period\": " +
         JsonPeriod(h.previous.periodStart, h.previous.periodEnd) +
         ", \"totals\": {" + JsonFigures(x.previousTotals) + "},\n";
  out += JsonRows(x.previous, "  ") + "},\n";
  out += "  \"days\": " + JsonList(x.days, [](const Row& r) {
    return "\"date\": \"" + r.name + "\", " + JsonFigures(r);
  }) + ",\n";
  out += "  \"notes\": " + JsonList(x.notes, [](const Row& r) {
    return "\"kind\": \"" + r.kind + "\", \"subject\": " + JsonString(r.name) +
           ", \"text\": " + JsonString(r.description) + r.noteFigures;
  }) + "\n";
  return out + "}\n";
}

// CSV -----------------------------------------------------------------------

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CsvRow(const Row& r) {
  const bool figures = r.kind.empty();
  auto n = [&](int64_t v, bool shown) { return shown ? std::to_string(v) : std::string(); };
  return std::string(r.table) + "," + CsvField(r.name) + "," + CsvField(r.description) +
         "," + n(r.filesIn, figures && r.split) + "," + n(r.filesOut, figures && r.split) +
         "," + n(r.bytesIn, figures && r.split) + "," + n(r.bytesOut, figures && r.split) +
         "," + n(r.files(), figures) + "," + n(r.bytes(), figures) + "," + r.kind + "\r\n";
}

std::string Csv(const PeriodTables& t, const PeriodHistory& h, const Tables& x) {
  std::string out =
      "table,name,description,files_in,files_out,bytes_in,bytes_out,files,bytes,kind\r\n";
  Row period{"period", IsoDate(t.periodStart), IsoDate(t.periodEnd), ""};
  Row previous{"previous_period", IsoDate(h.previous.periodStart),
               IsoDate(h.previous.periodEnd), ""};
  for (Row* r : {&period, &previous}) r->kind = "", r->split = false;
  // The two period rows carry their dates only.
  auto dates = [](const Row& r) {
    return std::string(r.table) + "," + r.name + "," + r.description + ",,,,,,,\r\n";
  };
  out += dates(period) + CsvRow(x.totals) + dates(previous) + CsvRow(x.previousTotals);
  for (const auto* list : {&x.current.areas, &x.current.links, &x.current.origins,
                           &x.current.downlinks, &x.days, &x.notes, &x.previous.areas,
                           &x.previous.links, &x.previous.origins, &x.previous.downlinks})
    for (const Row& r : *list) out += CsvRow(r);
  return out;
}

// Prometheus text format ------------------------------------------------------

std::string LabelValue(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

class Metrics {
 public:
  void Family(const std::string& name, const std::string& help) {
    name_ = name;
    out_ += "# HELP " + name + " " + help + "\n# TYPE " + name + " gauge\n";
  }
  void Sample(const std::string& labels, int64_t value) {
    out_ += name_ + (labels.empty() ? "" : "{" + labels + "}") + " " +
            std::to_string(value) + "\n";
  }
  // Files or bytes of every row, in and out.
  void Directions(const std::vector<Row>& rows, const char* label, bool bytes) {
    for (const Row& r : rows) {
      const std::string key =
          label ? std::string(label) + "=\"" + LabelValue(r.name) + "\"," : std::string();
      Sample(key + "direction=\"in\"", bytes ? r.bytesIn : r.filesIn);
      Sample(key + "direction=\"out\"", bytes ? r.bytesOut : r.filesOut);
    }
  }
  std::string& out() { return out_; }

 private:
  std::string name_, out_;
};

std::string Prometheus(const PeriodTables& t, const PeriodHistory& h, const Tables& x) {
  Metrics m;
  const std::vector<Row> totals{x.totals}, previous{x.previousTotals};
  auto pair = [&](const std::string& base, const std::string& what,
                  const std::vector<Row>& rows, const char* label) {
    m.Family(base + "_files", "Files " + what + ", by direction.");
    m.Directions(rows, label, false);
    m.Family(base + "_bytes", "Bytes of the files " + what + ", by direction.");
    m.Directions(rows, label, true);
  };
  pair("vexstat", "of all file echoes in the report period", totals, nullptr);
  pair("vexstat_area", "of each file echo in the report period", x.current.areas, "area");
  pair("vexstat_link", "from each link in the report period", x.current.links, "link");
  pair("vexstat_origin", "from each originating system in the report period", x.current.origins, "origin");
  m.Family("vexstat_downlink_files", "Files addressed to each system in the report period.");
  for (const Row& r : x.current.downlinks) m.Sample("downlink=\"" + LabelValue(r.name) + "\"", r.files());
  m.Family("vexstat_downlink_bytes", "Bytes of the files addressed to each system in the report period.");
  for (const Row& r : x.current.downlinks) m.Sample("downlink=\"" + LabelValue(r.name) + "\"", r.bytes());
  pair("vexstat_previous", "of all file echoes in the period of the same length before the report period",
       previous,
       nullptr);
  m.Family("vexstat_period_start_timestamp_seconds", "Start of the report period's first day (UTC midnight), as a Unix time.");
  m.Sample("", RealDayNumber(FirstRealDayOf(t.periodStart)) * 86400);
  m.Family("vexstat_period_end_timestamp_seconds", "End of the report period's last day (UTC midnight after it), as a Unix time.");
  m.Sample("", (RealDayNumber(t.periodEnd) + 1) * 86400);
  m.Family("vexstat_notes", "Notes on what changed in the report period, by kind.");
  for (NoteKind k : {NoteKind::kSilentArea, NoteKind::kSilentLink, NoteKind::kNewArea,
                     NoteKind::kNewOrigin, NoteKind::kSpike}) {
    int64_t n = 0;
    for (const Note& note : h.notes) n += note.kind == k;
    m.Sample(std::string("kind=\"") + NoteKindName(k) + "\"", n);
  }
  return m.out();
}

}  // namespace

bool ParseExportFormat(std::string_view name, ExportFormat* format) {
  const std::string upper = UpperCp866(std::string(name));
  if (upper == "JSON") *format = ExportFormat::kJson;
  else if (upper == "CSV") *format = ExportFormat::kCsv;
  else if (upper == "METRICS") *format = ExportFormat::kMetrics;
  else return false;
  return true;
}

std::string RenderExport(ExportFormat format, const PeriodTables& tables,
                         const PeriodHistory& history) {
  const Tables x = Collect(tables, history);
  switch (format) {
    case ExportFormat::kJson:
      return Json(tables, history, x);
    case ExportFormat::kCsv:
      return Csv(tables, history, x);
    case ExportFormat::kMetrics:
      return Prometheus(tables, history, x);
  }
  return std::string();
}

}  // namespace vex
