#pragma once

// Rows for the data-driven tests of the plan checker.
namespace PlanReplies {

// Columns "reply" and "message": model replies that must be refused, with the exact refusal.
void hostileRows();
// Column "reply": what a capable model writes for everyday requests; each must be accepted.
void everydayRows();

} // namespace PlanReplies
