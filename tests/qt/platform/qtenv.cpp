#include "qtenv.h"

namespace qttest {

namespace {

int argc = 1;
char name[] = "qttest_platform";
char* argv[] = {name, nullptr};
platform::qt::QtBackend* installed = nullptr;

class QtEnvironment : public testing::Environment {
  public:
    void SetUp() override { installed = new platform::qt::QtBackend(argc, argv); }
    void TearDown() override {
        delete installed;
        installed = nullptr;
    }
};

[[maybe_unused]] const auto* registered = testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace

platform::qt::QtBackend& backend() {
    return *installed;
}

}  // namespace qttest
