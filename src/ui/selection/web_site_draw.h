// Now and then, at start-up, the program opens the maker's web site: a number from 1 to 100 is
// drawn, and on a 7 the site opens in the user's browser, without waiting for it. The random
// numbers and the opening of the address can be replaced, so a test can draw any number and see
// what would open.
#pragma once

#include <QString>

#include <random>

namespace ui {

inline constexpr char kMakerWebSite[] = "https://www.quillmere.example/";
inline constexpr int kWebSiteNumber = 7;

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Seeds the generator from the current time of day.
    virtual void seedFromTimeOfDay() = 0;
    // A number in [0, 1).
    virtual double next() = 0;
};

class AddressOpener {
public:
    virtual ~AddressOpener() = default;
    // Hands the web address to the user's browser and returns without waiting for it.
    virtual void open(const QString& address) = 0;
};

// The program's own: a Mersenne twister, and the desktop's default browser.
class TimeSeededRandom : public RandomSource {
public:
    void seedFromTimeOfDay() override;
    double next() override;

private:
    std::mt19937 m_generator;
};

class DesktopAddressOpener : public AddressOpener {
public:
    void open(const QString& address) override;
};

// Seeds, draws a number in [0, 1), takes it times 100 without the fraction, plus 1; on a 7 opens
// the maker's web site.
void webSiteDraw(RandomSource& random, AddressOpener& opener);

}  // namespace ui
