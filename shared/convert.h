// Settings texts to numbers.
//
// A settings text converts when it is an optional sign followed by decimal
// digits, with optional spaces around it, and the number is in range. Any
// other text fails, and the caller's target keeps the value it had: callers
// rely on that to fall back to their previous or initial value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vendrolix {

bool ConvertToInt16(std::string_view text, std::int16_t& target);
bool ConvertToInt32(std::string_view text, std::int32_t& target);

// A cleaning switch (AutoClean, NSAutoClean) as stored, nullopt when it is
// missing or could not be read. Cleaning deletes the user's cookies, so only
// a switch that was stored and reads 1 counts as on; the readers' default
// for a missing value must not switch it on.
bool CleaningSwitchOn(const std::optional<std::string>& stored);

// Decimal text of a number, as written into the settings key.
std::string ToDecimalText(long long value);

}  // namespace vendrolix
