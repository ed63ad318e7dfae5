// The NOAA solar calculator's equations: solar declination and equation of time from the
// Julian century, then the hour angle of sunrise; each event is refined once at its own time.
#include "daylight.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSunriseZenith = 90.833;

double Rad(double degrees) { return degrees * kPi / 180.0; }
double Deg(double radians) { return radians * 180.0 / kPi; }

struct SunPosition {
    double declination;  // radians
    double equationOfTime;  // minutes
};

SunPosition SunAt(double julianDay)
{
    const double t = (julianDay - 2451545.0) / 36525.0;
    const double meanLong = std::fmod(280.46646 + t * (36000.76983 + t * 0.0003032), 360.0);
    const double meanAnomaly = 357.52911 + t * (35999.05029 - 0.0001537 * t);
    const double eccentricity = 0.016708634 - t * (0.000042037 + 0.0000001267 * t);
    const double m = Rad(meanAnomaly);
    const double center = std::sin(m) * (1.914602 - t * (0.004817 + 0.000014 * t)) +
                          std::sin(2 * m) * (0.019993 - 0.000101 * t) + std::sin(3 * m) * 0.000289;
    const double omega = Rad(125.04 - 1934.136 * t);
    const double apparentLong = meanLong + center - 0.00569 - 0.00478 * std::sin(omega);
    const double meanObliquity =
        23.0 + (26.0 + (21.448 - t * (46.815 + t * (0.00059 - t * 0.001813))) / 60.0) / 60.0;
    const double obliquity = Rad(meanObliquity + 0.00256 * std::cos(omega));
    const double y = std::tan(obliquity / 2) * std::tan(obliquity / 2);
    const double l0 = Rad(meanLong);
    const double eqTime = y * std::sin(2 * l0) - 2 * eccentricity * std::sin(m) +
                          4 * eccentricity * y * std::sin(m) * std::cos(2 * l0) -
                          0.5 * y * y * std::sin(4 * l0) - 1.25 * eccentricity * eccentricity * std::sin(2 * m);
    return {std::asin(std::sin(obliquity) * std::sin(Rad(apparentLong))), 4 * Deg(eqTime)};
}

// Cosine of the hour angle at which the sun's upper limb touches the horizon.
double CosHourAngle(double latitude, double declination)
{
    const double lat = Rad(latitude);
    return std::cos(Rad(kSunriseZenith)) / (std::cos(lat) * std::cos(declination)) -
           std::tan(lat) * std::tan(declination);
}

// Minutes after 00:00 UTC of the event (sign -1 sunrise, +1 sunset), or NaN in polar day or night.
double EventUtc(double julianMidnight, double latitude, double longitude, int sign, double guessMinutes)
{
    double minutes = guessMinutes;
    for (int pass = 0; pass < 2; ++pass) {
        const SunPosition sun = SunAt(julianMidnight + minutes / 1440.0);
        const double cosH = CosHourAngle(latitude, sun.declination);
        if (cosH > 1.0 || cosH < -1.0)
            return std::nan("");
        minutes = 720.0 - 4.0 * longitude - sun.equationOfTime + sign * 4.0 * Deg(std::acos(cosH));
    }
    return minutes;
}

}  // namespace

int64_t DaysFromCivil(int year, int month, int day)
{
    // Howard Hinnant's days_from_civil.
    const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t days, int* year, int* month, int* day)
{
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *year = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
    *month = m;
    *day = d;
}

SunDay SunriseSunset(int64_t daysSince1970, double latitude, double longitude)
{
    const double julianMidnight = 2440587.5 + static_cast<double>(daysSince1970);
    // Noon's declination tells polar day from polar night when the sun neither rises nor sets.
    const SunPosition noon = SunAt(julianMidnight + 0.5 - longitude / 360.0);
    const double cosH = CosHourAngle(latitude, noon.declination);
    const double noonUtc = 720.0 - 4.0 * longitude - noon.equationOfTime;
    const double sunrise = EventUtc(julianMidnight, latitude, longitude, -1, noonUtc - 360.0);
    const double sunset = EventUtc(julianMidnight, latitude, longitude, +1, noonUtc + 360.0);
    if (std::isnan(sunrise) || std::isnan(sunset))
        return {cosH < 0 ? SunDayKind::AlwaysUp : SunDayKind::AlwaysDown, 0, 0};
    return {SunDayKind::RisesAndSets, sunrise, sunset};
}
