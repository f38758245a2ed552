// The SQL road of a filter tree. Each node becomes a piece of SQL with its own
// parameters; a node that cannot be expressed exactly makes its whole condition stay
// on the per-record road.
#include "runtime/expression_sql.h"

#include <optional>

namespace corvix::runtime::expr {

namespace {

struct Piece {
    std::string sql;
    std::vector<SqlValue> params;
    Type type = Type::Integer;
    bool clipped = true;   // a text value without trailing blanks
    bool boolean = false;  // already 0 or 1
};
using Maybe = std::optional<Piece>;

Piece join(std::string before, Piece a, std::string middle, Piece b, std::string after) {
    Piece p;
    p.sql = before + a.sql + middle + b.sql + after;
    p.params = std::move(a.params);
    p.params.insert(p.params.end(), std::make_move_iterator(b.params.begin()),
                    std::make_move_iterator(b.params.end()));
    return p;
}

Piece wrap(std::string before, Piece a, std::string after) {
    a.sql = before + a.sql + after;
    return a;
}

bool integralConstant(const Node& n, int64_t* value) {
    if (n.kind != Node::Kind::Number || n.type != Type::Integer) return false;
    *value = static_cast<int64_t>(n.number);
    return true;
}

class Translator {
  public:
    explicit Translator(const ColumnName& columns) : columns_(columns) {}

    Maybe node(const Node& n) {
        using K = Node::Kind;
        switch (n.kind) {
            case K::Field: {
                std::string column = columns_ ? columns_(n.field) : std::string();
                if (column.empty() || n.type == Type::Real) return std::nullopt;
                Piece p;
                p.sql = column;
                p.type = n.type;
                return p;
            }
            case K::Text: {
                Piece p;
                p.sql = "?";
                p.params.emplace_back(std::in_place_type<std::string>, clipText(n.text));
                p.type = Type::Text;
                return p;
            }
            case K::Number: {
                Piece p;
                p.sql = "?";
                if (n.type == Type::Integer)
                    p.params.emplace_back(std::in_place_type<int64_t>,
                                          static_cast<int64_t>(n.number));
                else
                    p.params.emplace_back(std::in_place_type<double>, n.number);
                p.type = n.type;
                return p;
            }
            case K::Upper: {
                Maybe t = text(*n.args[0]);
                if (!t) return std::nullopt;
                bool clipped = t->clipped;
                Piece p = wrap("cv_upper(", std::move(*t), ")");
                p.type = Type::Text;
                p.clipped = clipped;
                return p;
            }
            case K::Sub: {
                int64_t start = 0, length = 0;
                if (!integralConstant(*n.args[1], &start) ||
                    !integralConstant(*n.args[2], &length) || start < 1 || length < 0)
                    return std::nullopt;
                Maybe t = text(*n.args[0]);
                if (!t) return std::nullopt;
                Piece p = wrap("substr(", std::move(*t), ", ?, ?)");
                p.params.emplace_back(std::in_place_type<int64_t>, start);
                p.params.emplace_back(std::in_place_type<int64_t>, length);
                p.type = Type::Text;
                p.clipped = false;
                return p;
            }
            case K::Instring: {
                int64_t step = 0, start = 0;
                if (!integralConstant(*n.args[2], &step) || !integralConstant(*n.args[3], &start) ||
                    step != 1 || start != 1)
                    return std::nullopt;
                // Both texts without their trailing blanks, as the evaluator has them.
                // Looking in an upper-cased text ("contains, whatever the case") is
                // one function that never builds the upper-cased copy.
                const bool inUpper = n.args[1]->kind == K::Upper;
                Maybe hay = text(inUpper ? *n.args[1]->args[0] : *n.args[1]);
                Maybe needle = text(*n.args[0]);
                if (!hay || !needle) return std::nullopt;
                Piece p = inUpper ? join("cv_upper_instr(", clip(std::move(*hay)), ", ",
                                         clip(std::move(*needle)), ")")
                                  : join("instr(", clip(std::move(*hay)), ", ",
                                         clip(std::move(*needle)), ")");
                p.type = Type::Integer;
                return p;
            }
            case K::Abs:
            case K::Negate: {
                Maybe v = number(*n.args[0]);
                if (!v) return std::nullopt;
                Piece p = wrap(n.kind == K::Abs ? "abs(" : "(-", std::move(*v), ")");
                p.type = n.type;
                return p;
            }
            case K::Not: {
                Maybe v = condition(*n.args[0]);
                if (!v) return std::nullopt;
                Piece p = wrap("(NOT ", std::move(*v), ")");
                p.boolean = true;
                return p;
            }
            case K::And:
            case K::Or: {
                Maybe a = condition(*n.args[0]);
                Maybe b = condition(*n.args[1]);
                if (!a || !b) return std::nullopt;
                Piece p = join("(", std::move(*a), n.kind == K::And ? " AND " : " OR ",
                               std::move(*b), ")");
                p.boolean = true;
                return p;
            }
            case K::Compare:
                return compare(n);
        }
        return std::nullopt;
    }

    // As a condition: 0 or 1.
    Maybe condition(const Node& n) {
        Maybe v = node(n);
        if (!v || v->boolean) return v;
        Piece p;
        if (v->type == Type::Text) {
            p = wrap("(", clip(std::move(*v)), " <> '')");
        } else {
            p = wrap("((", std::move(*v), ") <> 0)");
        }
        p.boolean = true;
        return p;
    }

  private:
    static Piece clip(Piece p) {
        if (p.clipped) return p;
        p = wrap("rtrim(", std::move(p), ", ' ')");
        p.clipped = true;
        return p;
    }

    // The node's value as text. A real number's decimal form is left to the per-record
    // road: SQL writes it differently.
    Maybe text(const Node& n) {
        Maybe v = node(n);
        if (!v) return std::nullopt;
        if (v->type == Type::Text) return v;
        if (v->type == Type::Real) return std::nullopt;
        Piece p = wrap("CAST(", std::move(*v), " AS TEXT)");
        p.type = Type::Text;
        return p;
    }

    // The node's value as a number: text only when it is a constant (read here).
    Maybe number(const Node& n) {
        if (n.type == Type::Text) {
            if (n.kind != Node::Kind::Text) return std::nullopt;
            Piece p;
            p.sql = "?";
            p.params.emplace_back(std::in_place_type<double>, textNumber(n.text));
            p.type = Type::Real;
            return p;
        }
        return node(n);
    }

    // UPPER(x) or UPPER(SUB(x, start, length)) beside a text constant, as one function
    // that copies nothing: "begins with" and "equals, whatever the case".
    Maybe upperCompare(const Node& n, const char* op) {
        using K = Node::Kind;
        const bool constantFirst = n.args[0]->kind == K::Text;
        const Node& upper = *n.args[constantFirst ? 1 : 0];
        const Node& constant = *n.args[constantFirst ? 0 : 1];
        if (upper.kind != K::Upper || constant.kind != K::Text) return std::nullopt;
        const Node* source = upper.args[0].get();
        int64_t start = 1, length = -1;
        if (source->kind == K::Sub) {
            if (!integralConstant(*source->args[1], &start) ||
                !integralConstant(*source->args[2], &length) || start < 1 || length < 0)
                return std::nullopt;
            source = source->args[0].get();
        }
        Maybe t = text(*source);
        Maybe c = node(constant);
        if (!t || !c) return std::nullopt;
        Piece p = wrap("cv_upper_cmp(", std::move(*t), ", ?, ?, ");
        p.params.emplace_back(std::in_place_type<int64_t>, start);
        p.params.emplace_back(std::in_place_type<int64_t>, length);
        p = join(constantFirst ? "(0" + std::string(op) : "(", std::move(p), "", std::move(*c),
                 constantFirst ? "))" : ")" + std::string(op) + "0)");
        p.boolean = true;
        return p;
    }

    Maybe compare(const Node& n) {
        static const char* const ops[] = {" = ", " <> ", " < ", " > ", " <= ", " >= "};
        const char* op = ops[static_cast<int>(n.op)];
        Maybe a, b;
        std::string collate;
        if (n.args[0]->type == Type::Text && n.args[1]->type == Type::Text) {
            if (Maybe fused = upperCompare(n, op)) return fused;
            a = text(*n.args[0]);
            b = text(*n.args[1]);
            if (!a || !b) return std::nullopt;
            a = clip(std::move(*a));
            b = clip(std::move(*b));
            // The columns' own collation must not decide: texts compare by code point.
            collate = " COLLATE BINARY";
        } else {
            a = number(*n.args[0]);
            b = number(*n.args[1]);
            if (!a || !b) return std::nullopt;
        }
        Piece p = join("(", std::move(*a), collate + op, std::move(*b), ")");
        p.boolean = true;
        return p;
    }

    const ColumnName& columns_;
};

}  // namespace

SqlFilter toSql(const Tree& tree, const ColumnName& columns) {
    SqlFilter out;
    std::vector<Tree> left;
    Translator t(columns);
    for (const Tree& c : conjuncts(tree)) {
        Maybe p = t.condition(*c);
        if (!p) {
            left.push_back(c);
            continue;
        }
        if (!out.where.empty()) out.where += " AND ";
        out.where += p->sql;
        out.params.insert(out.params.end(), std::make_move_iterator(p->params.begin()),
                          std::make_move_iterator(p->params.end()));
    }
    out.residual = allOf(left);
    return out;
}

}  // namespace corvix::runtime::expr
