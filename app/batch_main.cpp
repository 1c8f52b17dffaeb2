// varnel-batch: the same run as the window's "Start", for one or many data files, headless.
#include "batch/batch_run.h"
#include "batch/options.h"

#include <optional>

int main(int argc, char** argv)
{
    batch::Options options;
    if (const std::optional<int> status = batch::parseOptions(argc, argv, options))
        return *status;
    return batch::runBatch(options);
}
