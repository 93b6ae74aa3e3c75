#pragma once

#include <QTest>

// The test function of a table of a pure function: each row's "input" column goes in and its "expected"
// column must come out.
template <typename In, typename Out, typename Function>
void checkRow(Function function)
{
    QFETCH(In, input);
    QFETCH(Out, expected);
    QCOMPARE(Out(function(input)), expected);
}
