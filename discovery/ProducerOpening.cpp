#include <memory>
#include <string>

#include "discovery/ProducerManager.h"

std::unique_ptr<GenTLContext> ProducerManager::OpenProducer(const std::string& path,
                                                            EnumerationReport& report) {
    std::unique_ptr<GenTLContext> context;
    try {
        context = std::make_unique<GenTLContext>(path);
    } catch (const ProducerLoadError& error) {
        // Nothing of this producer may run: no context, the run ends here.
        report.ProducerNotLoaded(error.consoleMessage);
        return nullptr;
    }
    // Failures are reported inside; whatever cameras result are offered next.
    context->EnumerateDevices(report);
    return context;
}
