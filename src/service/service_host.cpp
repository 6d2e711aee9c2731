#include "service/service_host.h"

#include "service/service.h"

ProcessResult ServiceHost::runProcess(const ProcessRequest& a_request) {
    m_service.progress();
    return m_host.runProcess(a_request);
}
