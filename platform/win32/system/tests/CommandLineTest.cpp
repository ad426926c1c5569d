#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "CommandLine.h"

namespace {

struct SplitCase {
  const char* line;
  std::vector<std::string> arguments;
};

// The line itself names the case, its tabs shown as \t.
void PrintTo(const SplitCase& split, std::ostream* out) {
  *out << "[";
  for (const char* c = split.line; *c; ++c)
    *out << (*c == '\t' ? std::string("\\t") : std::string(1, *c));
  *out << "]";
}

class CommandLineSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLineSplit, FollowsTheRulesWindowsProgramsSplitBy) {
  EXPECT_EQ(win32::splitCommandLine(GetParam().line), GetParam().arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineSplit,
    ::testing::Values(
        SplitCase{"rack.exe -a b", {"rack.exe", "-a", "b"}},
        SplitCase{"  rack.exe \t a  ", {"rack.exe", "a"}},
        // The program's name takes everything up to the next quote, backslashes included.
        SplitCase{R"("C:\Program Files\VYT\rack.exe" -a)",
                  {R"(C:\Program Files\VYT\rack.exe)", "-a"}},
        SplitCase{R"(p "a b" c)", {"p", "a b", "c"}}, SplitCase{R"(p a"b c"d)", {"p", "ab cd"}},
        SplitCase{R"(p C:\dir\file)", {"p", R"(C:\dir\file)"}},
        SplitCase{R"(p "C:\dir\\" next)", {"p", R"(C:\dir\)", "next"}},
        SplitCase{R"(p a\"b)", {"p", R"(a"b)"}}, SplitCase{R"(p a\\\"b)", {"p", R"(a\"b)"}},
        SplitCase{R"(p "a""b")", {"p", R"(a"b)"}}, SplitCase{R"(p "")", {"p", ""}},
        SplitCase{"", {}}));

}  // namespace
