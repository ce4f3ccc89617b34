// What the browser's platform files share among themselves (web builds only).
#pragma once

namespace vorn::platform::detail {

// Hands the output gathered so far to the page at once.
void handOverOutput();

}  // namespace vorn::platform::detail
