#include "config/generators_section.h"

#include <gtest/gtest.h>

#include "config/points_section.h"

namespace tarvik {
namespace {

using namespace std::chrono_literals;

const std::vector<Point> kPoints =
    ParsePointsSection(ReadSectionLinesFromText("[Points]\n"
                                                "Flow=holding,10,float32,CDAB\n"
                                                "Level=input,20,uint16\n"
                                                "Energy=holding,30,uint64\n"
                                                "Setpoint=holding,40,int32\n"
                                                "Noise=input,50,int16\n",
                                                "Points"),
                       {})
        .points;

GeneratorsSection Parse(const std::string& lines) {
    return ParseGeneratorsSection(ReadSectionLinesFromText("[Generators]\n" + lines, "Generators"),
                                  kPoints);
}

TEST(GeneratorsSection, ReadsEveryKindOntoItsPoint) {
    const GeneratorsSection section = Parse(
        "; point=kind arguments\n"
        "Flow=sine 50 20 30s\n"
        "level=RAMP\t0  1000 10s\n"
        "Energy=counter 1 1s\n"
        "Setpoint=steps 10 20 30 5s\n"
        "Noise=random -1.5e3 +5 250ms\n");
    ASSERT_FALSE(section.error) << section.error->Text();
    ASSERT_EQ(section.generators.size(), 5u);
    const struct {
        std::size_t point;
        GeneratorKind kind;
        std::vector<double> numbers;
        std::chrono::milliseconds period;
    } expected[] = {
        {0, GeneratorKind::Sine, {50, 20}, 30s},       {1, GeneratorKind::Ramp, {0, 1000}, 10s},
        {2, GeneratorKind::Counter, {1}, 1s},          {3, GeneratorKind::Steps, {10, 20, 30}, 5s},
        {4, GeneratorKind::Random, {-1500, 5}, 250ms},
    };
    for (std::size_t i = 0; i < section.generators.size(); ++i) {
        const Generator& generator = section.generators[i];
        EXPECT_EQ(generator.point, expected[i].point);
        EXPECT_EQ(generator.kind, expected[i].kind);
        EXPECT_EQ(generator.numbers, expected[i].numbers);
        EXPECT_EQ(generator.period, expected[i].period);
    }
    EXPECT_EQ(Parse("Flow=ramp 5 5 2m\n").generators.at(0).period, 120s);
    EXPECT_TRUE(Parse("").present && Parse("").generators.empty() && !Parse("").error);
}

TEST(GeneratorsSection, DurationsAreWholeNumbersWithAUnit) {
    const struct {
        const char* text;
        std::optional<std::chrono::milliseconds> duration;
    } cases[] = {
        {"250ms", 250ms},
        {"10s", 10s},
        {"2m", 120s},
        {"1MS", 1ms},
        {"0s", 0ms},
        {"-5s", -5s},
        {"10", std::nullopt},
        {"1.5s", std::nullopt},
        {"s", std::nullopt},
        {"ms", std::nullopt},
        {"10h", std::nullopt},
        {"5 s", std::nullopt},
        {"153722867280912931m", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseDuration(c.text), c.duration) << c.text;
}

TEST(GeneratorsSection, EachBadLineIsRefusedByNameAndDropsTheSection) {
    const struct {
        const char* line;
        const char* reason;
    } cases[] = {
        {"Pump=ramp 0 1 1s", "no point of that name"},
        {"Flow=sine 1 1 1s", "the point has a generator already"},
        {"Level=sawtooth 0 1 1s", "unknown kind sawtooth (ramp, sine, random, counter or steps)"},
        {"Level=ramp 0 10s", "ramp takes MIN MAX PERIOD"},
        {"Level=sine 1 2 3 4s", "sine takes MID AMPLITUDE PERIOD"},
        {"Level=random 1 1s", "random takes MIN MAX INTERVAL"},
        {"Level=counter 1s", "counter takes STEP INTERVAL"},
        {"Level=steps 1s", "steps takes V1 [V2 ...] INTERVAL"},
        {"Level=ramp 0 ten 1s", "ten is not a number"},
        {"Level=ramp 0 10 10", "10 is not a duration (250ms, 10s, 2m)"},
        {"Level=ramp 0 10 0ms", "duration 0ms is not positive"},
        {"Level=ramp 10 0 1s", "MIN 10 is greater than MAX 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const GeneratorsSection section = Parse(std::string("Flow=ramp 0 1 1s\n") + c.line + "\n");
        ASSERT_TRUE(section.error);
        EXPECT_EQ(section.error->Text(),
                  std::string("Settings error: [Generators] ") + c.line + ": " + c.reason);
        EXPECT_TRUE(section.generators.empty());
    }
}

}  // namespace
}  // namespace tarvik
