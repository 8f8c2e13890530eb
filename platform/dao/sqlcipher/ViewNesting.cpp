#include "platform/dao/sqlcipher/ViewNesting.h"

#include "platform/dao/SqlNames.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace dao::detail {

QStringList namesIn(const QString& sql) {
    QStringList names;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c == QLatin1Char('\'')) {
            readQuoted(sql, i); // a string, not a name
        } else if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('[')) {
            names << readQuoted(sql, i).text.toLower();
        } else if (isNameChar(c) && c != QLatin1Char('$')) { // "$name" is a parameter
            const qsizetype start = i;
            while (i < n && isNameChar(sql[i]))
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

qsizetype definitionsReached(const std::map<QString, QString>& definitions, const QStringList& start, qsizetype cap) {
    std::unordered_set<QString> seen;
    QStringList pending = start;
    qsizetype total = 0;
    while (!pending.isEmpty()) {
        const QString name = pending.takeLast();
        const auto found = definitions.find(name);
        if (found == definitions.end() || !seen.insert(name).second)
            continue;
        total += found->second.size();
        if (total > cap)
            return total;
        pending << namesIn(found->second);
    }
    return total;
}

} // namespace dao::detail
