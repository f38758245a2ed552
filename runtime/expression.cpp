// Parsing filter expressions into trees, and the shared text helpers.
#include "runtime/expression.h"

#include <cmath>
#include <cstdio>

#include "runtime/qt_services.h"
#include "runtime/utf8.h"

namespace corvix::runtime::expr {

namespace {

constexpr int kMaxDepth = 300;  // about 100 levels of parentheses or functions

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool sameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

class Parser {
  public:
    Parser(std::string_view s, const Resolver& fields) : s_(s), fields_(fields) {}

    ParseResult run() {
        ParseResult r;
        Tree t = orExpr();
        if (t && !failed_) {
            skip();
            if (at_ < s_.size()) fail(at_, "unexpected text after the expression");
        }
        if (failed_) {
            r.position = charPosition(errorAt_);
            r.reason = reason_;
            return r;
        }
        r.tree = std::move(t);
        return r;
    }

  private:
    size_t charPosition(size_t byte) const {
        size_t n = 1;
        for (size_t i = 0; i < byte && i < s_.size(); ++i)
            n += (static_cast<unsigned char>(s_[i]) & 0xC0) != 0x80;
        return n;
    }

    Tree fail(size_t at, std::string why) {
        if (!failed_) {
            failed_ = true;
            errorAt_ = at;
            reason_ = std::move(why);
        }
        return nullptr;
    }

    void skip() {
        while (at_ < s_.size() && isSpace(s_[at_])) ++at_;
    }

    // The word at the current place (letters, digits, '_' and ':'), without moving.
    std::string_view peekWord() {
        skip();
        size_t end = at_;
        if (end < s_.size() && isLetter(s_[end])) {
            while (end < s_.size() && (isLetter(s_[end]) || isDigit(s_[end]) || s_[end] == ':'))
                ++end;
        }
        return s_.substr(at_, end - at_);
    }

    bool takeWord(std::string_view word) {
        if (!sameWord(peekWord(), word)) return false;
        at_ += word.size();
        return true;
    }

    bool take(char c) {
        skip();
        if (at_ < s_.size() && s_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    static std::shared_ptr<Node> make(Node::Kind kind, Type type, size_t position) {
        auto n = std::make_shared<Node>();
        n->kind = kind;
        n->type = type;
        n->position = position;
        return n;
    }

    struct Depth {
        explicit Depth(int& d) : d_(d) { ++d_; }
        ~Depth() { --d_; }
        int& d_;
    };

    Tree orExpr() {
        Depth guard(depth_);
        if (depth_ > kMaxDepth) return fail(at_, "expression nested too deeply");
        Tree left = andExpr();
        while (left && !failed_) {
            size_t here = (skip(), at_);
            if (!takeWord("OR")) break;
            Tree right = andExpr();
            if (!right) return nullptr;
            auto n = make(Node::Kind::Or, Type::Integer, charPosition(here));
            n->args = {left, right};
            left = n;
        }
        return left;
    }

    Tree andExpr() {
        Tree left = notExpr();
        while (left && !failed_) {
            size_t here = (skip(), at_);
            if (!takeWord("AND")) break;
            Tree right = notExpr();
            if (!right) return nullptr;
            auto n = make(Node::Kind::And, Type::Integer, charPosition(here));
            n->args = {left, right};
            left = n;
        }
        return left;
    }

    Tree notExpr() {
        Depth guard(depth_);
        if (depth_ > kMaxDepth) return fail(at_, "expression nested too deeply");
        skip();
        size_t here = at_;
        if (takeWord("NOT") || take('~')) {
            // "~=" is a comparison, not a negation.
            if (s_[here] == '~' && at_ < s_.size() && s_[at_] == '=') {
                at_ = here;
            } else {
                Tree inner = notExpr();
                if (!inner) return nullptr;
                auto n = make(Node::Kind::Not, Type::Integer, charPosition(here));
                n->args = {inner};
                return n;
            }
        }
        return comparison();
    }

    std::optional<Op> takeOperator() {
        skip();
        auto rest = s_.substr(at_);
        static const std::pair<std::string_view, Op> ops[] = {
            {"<>", Op::Ne}, {"~=", Op::Ne}, {"<=", Op::Le}, {"=<", Op::Le}, {">=", Op::Ge},
            {"=>", Op::Ge}, {"=", Op::Eq},  {"<", Op::Lt},  {">", Op::Gt}};
        for (const auto& [text, op] : ops) {
            if (rest.substr(0, text.size()) == text) {
                at_ += text.size();
                return op;
            }
        }
        return std::nullopt;
    }

    Tree comparison() {
        Tree left = unary();
        if (!left) return nullptr;
        size_t here = (skip(), at_);
        std::optional<Op> op = takeOperator();
        if (!op) return left;
        Tree right = unary();
        if (!right) return nullptr;
        auto n = make(Node::Kind::Compare, Type::Integer, charPosition(here));
        n->op = *op;
        n->args = {left, right};
        return n;
    }

    Tree unary() {
        Depth guard(depth_);
        if (depth_ > kMaxDepth) return fail(at_, "expression nested too deeply");
        skip();
        size_t here = at_;
        if (take('-')) {
            Tree inner = unary();
            if (!inner) return nullptr;
            auto n =
                make(Node::Kind::Negate, inner->type == Type::Real ? Type::Real : Type::Integer,
                     charPosition(here));
            if (inner->type == Type::Text) n->type = Type::Real;
            n->args = {inner};
            return n;
        }
        return primary();
    }

    Tree number() {
        size_t start = at_;
        while (at_ < s_.size() && isDigit(s_[at_])) ++at_;
        bool integral = true;
        if (at_ < s_.size() && s_[at_] == '.') {
            integral = false;
            ++at_;
            while (at_ < s_.size() && isDigit(s_[at_])) ++at_;
        }
        std::string digits(s_.substr(start, at_ - start));
        if (digits == ".") return fail(start, "a number expected");
        double v = std::strtod(digits.c_str(), nullptr);
        // Integers beyond what a double holds exactly would compare differently in SQL.
        if (integral && (digits.size() > 15)) integral = false;
        auto n =
            make(Node::Kind::Number, integral ? Type::Integer : Type::Real, charPosition(start));
        n->number = v;
        return n;
    }

    Tree string() {
        size_t start = at_++;
        std::string text;
        while (true) {
            if (at_ >= s_.size()) return fail(start, "the text in quotes is not closed");
            if (s_[at_] == '\'') {
                if (at_ + 1 < s_.size() && s_[at_ + 1] == '\'') {
                    text += '\'';
                    at_ += 2;
                    continue;
                }
                ++at_;
                break;
            }
            text += s_[at_++];
        }
        auto n = make(Node::Kind::Text, Type::Text, charPosition(start));
        n->text = std::move(text);
        return n;
    }

    std::vector<Tree> arguments(size_t nameAt, std::string_view name, size_t count) {
        std::vector<Tree> args;
        if (!take('(')) {
            fail(at_, "'(' expected after " + std::string(name));
            return {};
        }
        for (size_t i = 0; i < count; ++i) {
            if (i > 0 && !take(',')) {
                fail((skip(), at_), std::string(name) + " takes " + std::to_string(count) +
                                        " values: ',' expected");
                return {};
            }
            Tree a = orExpr();
            if (!a) return {};
            args.push_back(std::move(a));
        }
        if (!take(')')) {
            fail((skip(), at_), "')' expected to close " + std::string(name));
            return {};
        }
        return args;
    }

    Tree primary() {
        skip();
        if (at_ >= s_.size()) return fail(at_, "a value expected at the end");
        const char c = s_[at_];
        const size_t here = at_;
        if (isDigit(c) || c == '.') return number();
        if (c == '\'') return string();
        if (c == '(') {
            ++at_;
            Tree inner = orExpr();
            if (!inner) return nullptr;
            if (!take(')')) return fail((skip(), at_), "')' expected");
            return inner;
        }
        if (!isLetter(c)) {
            std::string shown(1, c);
            if (static_cast<unsigned char>(c) >= 0x80 || c < 0x20) shown = "this character";
            return fail(here,
                        "a value expected, not " + (shown.size() == 1 ? "'" + shown + "'" : shown));
        }
        std::string_view word = peekWord();
        at_ += word.size();
        struct Fn {
            std::string_view name;
            Node::Kind kind;
            size_t count;
            Type type;
        };
        static const Fn fns[] = {{"UPPER", Node::Kind::Upper, 1, Type::Text},
                                 {"SUB", Node::Kind::Sub, 3, Type::Text},
                                 {"INSTRING", Node::Kind::Instring, 4, Type::Integer},
                                 {"ABS", Node::Kind::Abs, 1, Type::Integer}};
        for (const Fn& fn : fns) {
            if (!sameWord(word, fn.name)) continue;
            std::vector<Tree> args = arguments(here, fn.name, fn.count);
            if (failed_) return nullptr;
            auto n = make(fn.kind, fn.type, charPosition(here));
            if (fn.kind == Node::Kind::Abs && args[0]->type != Type::Integer) n->type = Type::Real;
            n->args = std::move(args);
            return n;
        }
        if (sameWord(word, "AND") || sameWord(word, "OR") || sameWord(word, "NOT"))
            return fail(here, "a value expected before " + std::string(word));
        skip();
        if (at_ < s_.size() && s_[at_] == '(')
            return fail(here, "unknown function " + std::string(word));
        std::optional<FieldInfo> info = fields_ ? fields_(word) : std::nullopt;
        if (!info) return fail(here, "unknown field " + std::string(word));
        auto n = make(Node::Kind::Field, info->type, charPosition(here));
        n->field = info->index;
        n->text = std::string(word);
        return n;
    }

    std::string_view s_;
    const Resolver& fields_;
    size_t at_ = 0;
    int depth_ = 0;
    bool failed_ = false;
    size_t errorAt_ = 0;
    std::string reason_;
};

}  // namespace

std::string ParseResult::message() const {
    return reason + " at position " + std::to_string(position);
}

ParseResult parse(std::string_view source, const Resolver& fields) {
    return Parser(source, fields).run();
}

Tree allOf(const std::vector<Tree>& conditions) {
    Tree out;
    for (const Tree& c : conditions) {
        if (!c) continue;
        if (!out) {
            out = c;
            continue;
        }
        auto n = std::make_shared<Node>();
        n->kind = Node::Kind::And;
        n->type = Type::Integer;
        n->position = c->position;
        n->args = {out, c};
        out = n;
    }
    return out;
}

std::vector<Tree> conjuncts(const Tree& tree) {
    std::vector<Tree> out;
    if (!tree) return out;
    std::vector<Tree> stack{tree};
    while (!stack.empty()) {
        Tree t = stack.back();
        stack.pop_back();
        if (t->kind == Node::Kind::And) {
            stack.push_back(t->args[1]);
            stack.push_back(t->args[0]);
        } else {
            out.push_back(t);
        }
    }
    return out;
}

std::string upperText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
            ++i;
            continue;
        }
        // A run of bytes outside ASCII decodes on its own exactly as within the whole
        // text: an ASCII byte always ends a character, well-formed or not.
        size_t end = i + 1;
        while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) >= 0x80) ++end;
        std::u32string chars = decodeUtf8(utf8.substr(i, end - i));
        for (char32_t& ch : chars) ch = qtServices().upperChar(ch);
        out += encodeUtf8(chars);
        i = end;
    }
    return out;
}

std::string clipText(std::string_view text) {
    size_t end = text.size();
    while (end > 0 && text[end - 1] == ' ') --end;
    return std::string(text.substr(0, end));
}

double textNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    double v = 0;
    while (i < text.size() && isDigit(text[i])) v = v * 10 + (text[i++] - '0');
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && isDigit(text[i]); ++i, scale /= 10)
            v += (text[i] - '0') * scale;
    }
    return negative ? -v : v;
}

std::string numberText(double n, Type type) {
    char buffer[64];
    if (type == Type::Integer || (std::floor(n) == n && std::fabs(n) < 1e15))
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(n));
    else
        std::snprintf(buffer, sizeof buffer, "%.15g", n);
    return buffer;
}

std::string quoteText(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

}  // namespace corvix::runtime::expr
