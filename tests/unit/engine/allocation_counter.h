// Counts every operator new in the test process, the engine library's included.
#pragma once

namespace enginetest {
long allocationcount();
}
