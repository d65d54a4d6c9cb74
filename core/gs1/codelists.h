// Country and currency code lists the GS1 rules check against.
#pragma once

#include <string_view>

namespace qb {

namespace gs1 {

// An ISO 3166-1 numeric country code (4 for Afghanistan ... 894 for Zambia).
bool IsCountryCode(int numeric);

// An ISO 3166-1 alpha-2 country code, in capitals ("DE").
bool IsCountryAlpha2(std::string_view code);

// An ISO 4217 numeric currency code (978 for the euro).
bool IsCurrencyCode(int numeric);

} // namespace gs1

} // namespace qb
