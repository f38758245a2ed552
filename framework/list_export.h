// Writing a list's rows as they are shown: CSV (RFC 4180: every field quoted, quotes
// doubled, CR LF line ends, line breaks kept inside quotes) or an HTML table (every text
// escaped, so a field never becomes markup). Rows are written as they come.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace corvix::framework {

enum class ListFormat { Csv, Html };

class ListWriter {
  public:
    ListWriter(std::ostream& out, ListFormat format, const std::string& title);
    void header(const std::vector<std::string>& columns);
    void row(const std::vector<std::string>& cells);
    // Closes the HTML document; false when the stream failed at any point.
    bool finish();

  private:
    std::ostream& out_;
    ListFormat format_;
};

std::string csvField(const std::string& text);
std::string htmlEscape(const std::string& text);

}  // namespace corvix::framework
