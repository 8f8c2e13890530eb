#include "platform/dao/sqlcipher/ViewNesting.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace dao::detail {

QStringList namesIn(const QString& sql) {
    QStringList names;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    const auto quoted = [&](QChar close) {
        QString name;
        for (++i; i < n; ++i) {
            if (sql[i] == close) {
                if (i + 1 < n && sql[i + 1] == close && close != QLatin1Char(']')) {
                    name += close;
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            name += sql[i];
        }
        return name;
    };
    while (i < n) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            quoted(c); // a string, not a name
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`')) {
            names << quoted(c).toLower();
        } else if (c == QLatin1Char('[')) {
            names << quoted(QLatin1Char(']')).toLower();
        } else if (c.isLetterOrNumber() || c == QLatin1Char('_') || c.unicode() > 0x7f) {
            const qsizetype start = i;
            while (i < n && (sql[i].isLetterOrNumber() || sql[i] == QLatin1Char('_') || sql[i].unicode() > 0x7f ||
                             sql[i] == QLatin1Char('$')))
                ++i;
            names << sql.mid(start, i - start).toLower();
        } else {
            ++i;
        }
    }
    return names;
}

int viewNesting(const std::map<QString, QString>& views, const QStringList& start, int cap) {
    // Depth-first without recursion (the chain may be as long as the one
    // this guards against), remembering each view's depth once known.
    std::unordered_map<QString, int> depth;
    struct Frame {
        QString view;
        QStringList next;
        qsizetype at = 0;
        int deepest = 0;
    };
    int deepest = 0;
    for (const QString& first : start) {
        if (!views.count(first) || depth.count(first))
            continue;
        std::vector<Frame> stack;
        std::vector<QString> onPath;
        stack.push_back({first, namesIn(views.at(first)), 0, 0});
        depth[first] = -1; // being worked out: a cycle counts no deeper
        while (!stack.empty()) {
            if (static_cast<int>(stack.size()) > cap)
                return cap + 1;
            Frame& top = stack.back();
            if (top.at < top.next.size()) {
                const QString name = top.next[top.at++];
                if (name == top.view || !views.count(name))
                    continue;
                if (const auto known = depth.find(name); known != depth.end()) {
                    top.deepest = std::max(top.deepest, std::max(known->second, 0));
                    continue;
                }
                depth[name] = -1;
                stack.push_back({name, namesIn(views.at(name)), 0, 0});
                continue;
            }
            const int mine = top.deepest + 1;
            depth[top.view] = mine;
            stack.pop_back();
            if (!stack.empty())
                stack.back().deepest = std::max(stack.back().deepest, mine);
            deepest = std::max(deepest, mine);
            if (deepest > cap)
                return cap + 1;
        }
    }
    return deepest;
}

} // namespace dao::detail
