// An injected failure of open(2) for the code linked into a test program:
// exclusive creates fail as in a process out of descriptors, before the
// system looks at the name.
#pragma once

namespace orvella_test {

// From now on, every open with O_CREAT | O_EXCL in this program fails with
// `error` (EMFILE, ENFILE, ENOMEM, ...) and creates nothing; 0 ends it.
void fail_exclusive_creates(int error);

}  // namespace orvella_test
