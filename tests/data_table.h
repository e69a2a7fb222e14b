#pragma once

#include <QTest>

#include <tuple>

// A table's columns declared in one line and a row's values fetched in one, as QTest's
// addColumn and QFETCH do one at a time:
//     addColumns<QString, int>("name", "count");
//     const auto [name, count] = fetch<QString, int>("name", "count");
template<typename... Types, typename... Names> void addColumns(Names... names)
{
    (QTest::addColumn<Types>(names), ...);
}

template<typename... Types, typename... Names> std::tuple<Types...> fetch(Names... names)
{
    return { *static_cast<Types *>(QTest::qData(names, qMetaTypeId<Types>()))... };
}
