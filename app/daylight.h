// Sunrise and sunset of a day at a place, from the NOAA solar position equations
// (Meeus' low-precision sun): within a minute or so outside the polar circles.
#pragma once
#include <cstdint>

enum class SunDayKind { RisesAndSets, AlwaysUp, AlwaysDown };

struct SunDay {
    SunDayKind kind;
    // Minutes after 00:00 UTC of the date; below 0 or past 1440 when the event falls on
    // the day before or after in UTC (sunrise in Tokyo is the previous evening in UTC).
    double sunriseUtc;
    double sunsetUtc;
};

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(int64_t days, int* year, int* month, int* day);

// Latitude north positive, longitude east positive, in degrees. The sun's upper limb on a
// flat horizon with standard refraction (zenith 90.833 degrees), as published tables use.
SunDay SunriseSunset(int64_t daysSince1970, double latitude, double longitude);
