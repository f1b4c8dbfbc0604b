#include <gtest/gtest.h>

#include <string>

#include "daemon/monitorfile.h"

namespace {

using watch::MonitorConfig;
using watch::parsemonitorfile;

TEST(MonitorFile, AGoodFileKeepsItsValuesAndFillsTheDefaults) {
    const std::string text =
        "; a comment\n"
        "[Monitor]\n"
        "listen = 0.0.0.0   ; every interface\n"
        "history = /var/lib/korvin-monitor\n"
        "\n"
        "[exciter Site-A]\n"
        "address = 192.168.1.100\n"
        "capture = 120\t# two minutes\n"
        "history = yes\n"
        "[exciter b]\n"
        "Address = 10.0.0.2\n"
        "port = 5800\n";
    MonitorConfig c;
    std::string error;
    ASSERT_TRUE(parsemonitorfile(text, "m.ini", c, error)) << error;
    EXPECT_EQ(c.listen, "0.0.0.0");
    EXPECT_EQ(c.port, 9810);
    EXPECT_EQ(c.historyfolder, "/var/lib/korvin-monitor");
    ASSERT_EQ(c.exciters.size(), 2u);
    EXPECT_EQ(c.exciters[0].name, "Site-A");  // as written: it labels the metrics
    EXPECT_EQ(c.exciters[0].port, 5700);
    EXPECT_EQ(c.exciters[0].statusevery, 10);
    EXPECT_EQ(c.exciters[0].captureevery, 120);
    EXPECT_TRUE(c.exciters[0].history);
    EXPECT_EQ(c.exciters[1].address, "10.0.0.2");
    EXPECT_EQ(c.exciters[1].port, 5800);
    EXPECT_FALSE(c.exciters[1].history);
}

TEST(MonitorFile, EachErrorNamesTheFileAndItsLine) {
    const std::string exciter = "[exciter a]\naddress = 10.0.0.1\n";
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {exciter + "colour = red\n", "m.ini:3: unknown key 'colour' in [exciter a]"},
        {exciter + "port = 70000\n", "m.ini:3: 'port' must be a whole number from 1 to 65535"},
        {exciter + "port = 5x\n", "m.ini:3: 'port' must be a whole number from 1 to 65535"},
        {"[exciter a]\naddress = 10.0.0.300\n", "m.ini:2: 'address' must be an IPv4 address"},
        {"[monitor]\nlisten = localhost\n" + exciter, "m.ini:2: 'listen' must be an IPv4 address"},
        {"[exciter a]\nport = 1\n", "m.ini:1: [exciter a] needs 'address'"},
        {exciter + "\n[Exciter A]\naddress = 10.0.0.2\n", "m.ini:4: [exciter a] comes twice"},
        {exciter + "port = 1\nport = 2\n", "m.ini:4: 'port' comes twice in [exciter a]"},
        {"[monitor]\n" + exciter + "history = yes\n",
         "m.ini:4: 'history' needs the folder in [monitor] history"},
        {exciter + "history = maybe\n", "m.ini:3: 'history' must be yes or no"},
        {exciter + "capture = 1\n", "m.ini:3: 'capture' must be a whole number from 2 to 86400"},
        {"[monitor]\nport = 9810\n", "m.ini: names no exciter ([exciter NAME] section)"},
        {"[exciter a b]\naddress = 10.0.0.1\n",
         "m.ini:1: an exciter's name is letters, digits, '-', '_' or '.'"},
        {"[exciter \"a\"]\naddress = 10.0.0.1\n",
         "m.ini:1: an exciter's name is letters, digits, '-', '_' or '.'"},
        {exciter + "[monitors]\n", "m.ini:3: unknown section [monitors]"},
        {"address = 10.0.0.1\n" + exciter, "m.ini:1: a key before any section"},
        {exciter + "just words\n", "m.ini:3: expected key = value"},
        {exciter + "[exciter b\n", "m.ini:3: a section line ends with ']'"},
    };
    for (const auto& c : cases) {
        MonitorConfig config;
        std::string error;
        EXPECT_FALSE(parsemonitorfile(c.text, "m.ini", config, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    MonitorConfig config;
    std::string error;
    EXPECT_FALSE(watch::readmonitorfile("/nonexistent/m.ini", config, error));
    EXPECT_EQ(error, "/nonexistent/m.ini: cannot be opened");
}

}  // namespace
