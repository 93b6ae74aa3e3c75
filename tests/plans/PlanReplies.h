#pragma once

// Rows for the data-driven tests of the plan checker.
namespace PlanReplies {

// Columns "reply" and "message": model replies that must be refused, with the exact refusal.
void hostileRows();
// Columns "reply", "finalName" and "args": replies that must pass, with the exact resolved arguments
// per step (@IN the input, @PREV the previous step's output, @OUT the step's own output).
void realisticRows();
// Column "reply": what a capable model writes for everyday requests; each must be accepted.
void everydayRows();

} // namespace PlanReplies
