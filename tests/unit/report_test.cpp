#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <string>

#include "report/report.h"

namespace {

std::string format(int year, int month, int day, int wday, int h, int m, int s) {
  struct tm when = {};
  when.tm_year = year - 1900;
  when.tm_mon = month - 1;
  when.tm_mday = day;
  when.tm_wday = wday;
  when.tm_hour = h;
  when.tm_min = m;
  when.tm_sec = s;
  char out[64];
  formatLogTime(&when, out, sizeof out);
  return out;
}

TEST(LogHeader, LeadingZerosEverywhere) {
  EXPECT_EQ(format(2026, 3, 3, 2, 9, 5, 7), "Tue Mar 03 09:05:07 2026");
  EXPECT_EQ(format(1999, 12, 31, 5, 23, 59, 59), "Fri Dec 31 23:59:59 1999");
}

TEST(LogHeader, EveryDayAndMonthName) {
  const char *days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int d = 0; d < 7; ++d)
    EXPECT_EQ(format(2026, 1, 10, d, 0, 0, 0).substr(0, 4), std::string(days[d]) + " ");
  for (int m = 1; m <= 12; ++m)
    EXPECT_EQ(format(2026, m, 10, 0, 0, 0, 0).substr(4, 4), std::string(months[m - 1]) + " ");
}

TEST(LogHeader, NamesDoNotFollowTheLocale) {
  // A German locale: the test command generates it on Linux; Windows (and
  // Wine's C runtime) knows it by name.
  const char *name = setlocale(LC_ALL, "de_DE.UTF-8");
  if (!name) name = setlocale(LC_ALL, "German");
  ASSERT_NE(name, nullptr) << "no German locale here";
  // The locale really names the days in German...
  struct tm thursday = {};
  thursday.tm_wday = 4;
  char day[32];
  ASSERT_GT(strftime(day, sizeof day, "%a", &thursday), 0u);
  EXPECT_NE(std::string(day), "Thu") << name;
  // ...and the log header does not.
  EXPECT_EQ(format(2026, 5, 7, 4, 1, 2, 3), "Thu May 07 01:02:03 2026") << name;
  setlocale(LC_ALL, "C");
}

}  // namespace
