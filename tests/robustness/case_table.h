#pragma once
// Tables of calls, each with the result it is documented to give. Every
// table prints how many cases it tried.

#include "process_figures.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct CALL_CASE
{
    std::string name;
    HRESULT hrExpected;
    std::function<HRESULT()> call;
};

inline void RunCases(const char* pszTable, const std::vector<CALL_CASE>& cases)
{
    for (const CALL_CASE& test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(test.hrExpected, test.call()) << test.name;
    }
    PrintFigure("hostile_cases", std::string("table=") + pszTable + " cases=" + std::to_string(cases.size()));
}
