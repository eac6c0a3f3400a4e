#pragma once
// Who makes the program and what it is called: they name the settings
// folder, the caption and the about box.

inline constexpr char kCompanyName[] = "Kestrane";
inline constexpr char kProductName[] = "Tavolin";
inline constexpr char kProductVersion[] = TAVOLIN_VERSION;
