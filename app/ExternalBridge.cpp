// The script behind window.external and the host's style rules.
#include "app/ExternalBridge.h"

std::string externalObjectScript() {
  // A serial number keeps two requests for the same command apart, so that
  // no cache answers for the application. A request that fails yields an
  // empty answer (and getScanProgress 0).
  return R"js((function () {
  var serial = 0;
  function send(name) {
    var request = new XMLHttpRequest();
    try {
      request.open('GET', 'fennick-cmd:' + name + '?' + (++serial), false);
      request.send(null);
    } catch (error) {
      return '';
    }
    return request.status === 200 ? request.responseText : '';
  }
  var external = {
    getApplicationPath: function () { send('getApplicationPath'); },
    getUIStrings: function () { send('getUIStrings'); },
    quitApplication: function () { send('quitApplication'); },
    quitApplicationWithoutConfirmation: function () { send('quitApplicationWithoutConfirmation'); },
    getScanProgress: function () { return Number(send('getScanProgress')) | 0; },
    scanSystem: function () { send('scanSystem'); },
    getSystemScanResult: function () { send('getSystemScanResult'); }
  };
  Object.freeze(external);
  Object.defineProperty(window, 'external', {
    value: external, writable: false, enumerable: true, configurable: false
  });
})();
)js";
}

std::string hostStyleSheet() {
  return "html { overflow: hidden; -webkit-user-select: none; user-select: none; }\n";
}
