#include "framework/list_export.h"

namespace corvix::framework {

std::string csvField(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

ListWriter::ListWriter(std::ostream& out, ListFormat format, const std::string& title)
    : out_(out), format_(format) {
    if (format_ == ListFormat::Html)
        out_ << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" << htmlEscape(title)
             << "</title>\n<style>table{border-collapse:collapse}td,th{border:1px solid "
                "#999;padding:2px 6px;text-align:left}</style></head>\n<body>\n<table>\n";
}

void ListWriter::header(const std::vector<std::string>& columns) {
    if (format_ == ListFormat::Html) {
        out_ << "<thead><tr>";
        for (const std::string& c : columns) out_ << "<th>" << htmlEscape(c) << "</th>";
        out_ << "</tr></thead>\n<tbody>\n";
        return;
    }
    row(columns);
}

void ListWriter::row(const std::vector<std::string>& cells) {
    if (format_ == ListFormat::Html) {
        out_ << "<tr>";
        for (const std::string& c : cells) out_ << "<td>" << htmlEscape(c) << "</td>";
        out_ << "</tr>\n";
        return;
    }
    for (size_t i = 0; i < cells.size(); ++i) out_ << (i ? "," : "") << csvField(cells[i]);
    out_ << "\r\n";
}

bool ListWriter::finish() {
    if (format_ == ListFormat::Html) out_ << "</tbody>\n</table>\n</body></html>\n";
    out_.flush();
    return static_cast<bool>(out_);
}

}  // namespace corvix::framework
