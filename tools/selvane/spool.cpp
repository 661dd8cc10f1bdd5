// selvane spool: the spooler's part for the print monitor (being written).
#include "cli.h"

namespace selvane {

int Spool(Args&) { throw Failure("the spooler host is not built yet"); }

} // namespace selvane
