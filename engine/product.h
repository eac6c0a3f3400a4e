#pragma once
// Who makes the program, what it is called and which version it is, as the
// build sets them: they name the settings folder, the caption and the about box.

inline constexpr char kCompanyName[] = TAVOLIN_COMPANY;
inline constexpr char kProductName[] = TAVOLIN_PRODUCT;
inline constexpr char kProductVersion[] = TAVOLIN_VERSION;
