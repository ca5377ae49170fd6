// Drives the window's page through its four screens and checks what it
// shows. window-e2e.sh prepends a line "var expected = {...};" with the
// texts of the run's language, and runs the window with this file as
// FENNICK_TEST_SCRIPT. Results go to report.txt in FENNICK_TEST_OUT, one
// "ok - ..." or "not ok - ..." line per check and "done" at the end;
// snapshots of the screens go beside it.
(async function () {
  const host = (message) => window.webkit.messageHandlers.fennickTest.postMessage(message);
  const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
  const $ = (id) => document.getElementById(id);
  const screens = ['eulaScreen', 'scanScreen', 'progressScreen', 'resultsScreen'];
  const shown = (id) => getComputedStyle($(id)).display !== 'none';
  const onlyScreen = (id) => screens.every((s) => shown(s) === (s === id));
  const state = async () => JSON.parse(await host({op: 'state'}));
  const text = (id) => $(id).textContent.trim();
  const lines = [];

  function check(name, ok, detail) {
    lines.push((ok ? 'ok - ' : 'not ok - ') + name + (ok || detail === undefined ? '' : ': ' + detail));
  }
  function checkEqual(name, actual, wanted) {
    check(name, actual === wanted, JSON.stringify(actual) + ' instead of ' + JSON.stringify(wanted));
  }
  async function waitFor(name, condition, ms) {
    const end = Date.now() + (ms || 10000);
    while (Date.now() < end) {
      if (await condition()) return true;
      await sleep(50);
    }
    check(name, false, 'timed out');
    return false;
  }
  async function report() {
    await host({op: 'write', name: 'report.txt', text: lines.join('\n') + '\n'});
  }

  // The options of the agreement list, exactly as the page must label them.
  const agreementOptions = [
    ['201', 'English (North America)'], ['202', 'English (International)'],
    ['203', 'English \u064a\u062f\u0639\u0645 \u0627\u0644\u0639\u0631\u0628\u064a\u0629'],
    ['204', 'English \u05ea\u05d5\u05de\u05da \u05e2\u05d1\u05e8\u05d9\u05ea'],
    ['205', 'Fran\u00e7ais canadien'], ['206', 'Fran\u00e7ais'], ['207', 'Fran\u00e7ais (Maroc)'],
    ['208', '\u010cesky'], ['209', 'Dansk'], ['210', 'Deutsch'], ['211', 'Espa\u00f1ol'],
    ['212', 'Espa\u00f1ol (Am\u00e9rica Latina)'], ['213', 'Suomi'], ['214', 'Magyar'],
    ['215', 'Italiano'], ['216', '\u65e5\u672c\u8a9e'], ['217', '\ud55c\uad6d\uc5b4'],
    ['218', 'Norsk (Bokm\u00e5l)'], ['219', 'Nederlands'], ['220', 'Polski'],
    ['221', 'Portugu\u00eas do Brasil'], ['222', 'P\u0443\u0441\u0441\u043a\u0438\u0439'],
    ['223', 'Svenska'], ['224', 'T\u00fcrkçe'], ['225', '\u0423\u043a\u0440\u0430\u0457\u043d\u0441\u044c\u043a\u0430'],
    ['226', '\u7b80\u4f53\u4e2d\u6587'], ['227', '\u7e41\u9ad4\u4e2d\u6587']];

  try {
    if (expected.mode === 'decline-yes') {
      // Decline answered Yes ends the application; the shell script checks
      // that the process ends.
      await waitFor('texts arrive', () => $('eulaFrame').getAttribute('src') !== 'about:blank');
      check('agreement screen before declining', onlyScreen('eulaScreen'));
      lines.push('done');
      await report();
      $('eulaScreenDeclineBtn').click();
      return;
    }

    // Agreement screen, with the texts of the user's language.
    await waitFor('texts arrive', () => $('eulaFrame').getAttribute('src') !== 'about:blank');
    check('agreement screen is shown alone', onlyScreen('eulaScreen'));
    for (const id of Object.keys(expected.texts))
      checkEqual('text of ' + id, text(id), expected.texts[id]);
    checkEqual('welcome text', $('scanScreenPara').textContent, expected.welcome);
    checkEqual('information link 1', $('moreInfoLinkTxt1').getAttribute('href'), expected.moreInfoLink);
    checkEqual('feedback link', $('feedbackLinkTxt').getAttribute('href'), expected.feedbackLink);
    checkEqual('agreement language', $('eulaCombo').value, expected.agreementPage);
    const frame = $('eulaFrame').src;
    check('agreement page comes from the application path',
          frame.startsWith('res://') && frame.endsWith('/' + expected.agreementPage), frame);
    const options = Array.from($('eulaCombo').options).map((o) => [o.value, o.textContent]);
    checkEqual('agreement options', JSON.stringify(options), JSON.stringify(agreementOptions));
    checkEqual('Russian label starts with a Latin P', options[21][1].charCodeAt(0), 0x50);
    check('logo loaded at 39 by 64', $('headerImage').naturalWidth === 39 &&
          $('headerImage').naturalHeight === 64);
    checkEqual('style sheet applied (page width)', getComputedStyle(document.body).width, '600px');
    checkEqual('style sheet applied (footer colour)',
               getComputedStyle(document.querySelector('.footer')).backgroundColor, 'rgb(217, 217, 217)');
    check('page does not scroll', document.documentElement.scrollHeight <= window.innerHeight,
          document.documentElement.scrollHeight + ' > ' + window.innerHeight);
    let agreementRequest = '';
    await waitFor('agreement page requested', async () => {
      agreementRequest = (await state()).served.find((s) => s.endsWith('/' + expected.agreementPage)) || '';
      return agreementRequest !== '';
    });
    check('agreement page served from the resource table', agreementRequest.startsWith('found '),
          agreementRequest);

    // Another language in the list loads its agreement page.
    const combo = $('eulaCombo');
    const other = expected.agreementPage === '206' ? '201' : '206';
    combo.value = other;
    combo.dispatchEvent(new Event('change'));
    check('choosing a language loads its agreement page', $('eulaFrame').src.endsWith('/' + other),
          $('eulaFrame').src);
    combo.value = expected.agreementPage;
    combo.dispatchEvent(new Event('change'));

    // Keys: refresh, select all, find, open location, new window, open and
    // print never reach the page; Ctrl+C does.
    const keys = [];
    document.addEventListener('keydown', (e) => keys.push((e.ctrlKey ? 'Ctrl+' : '') + e.key), true);
    window.fennickNotReloaded = true;
    for (const [key, ctrl] of [['F5', false], ['a', true], ['f', true], ['l', true], ['n', true],
                               ['o', true], ['p', true], ['c', true]])
      await host({op: 'key', key: key, ctrl: ctrl});
    await waitFor('Ctrl+C reaches the page', () => keys.includes('Ctrl+c'), 3000);
    checkEqual('keys that reached the page', JSON.stringify(keys), JSON.stringify(['Ctrl+c']));
    check('F5 did not reload the page', window.fennickNotReloaded === true);
    checkEqual('Ctrl+A selected nothing', String(window.getSelection()), '');
    let st;

    // The page never leaves the executable's resources.
    window.location.href = 'file:///';
    await sleep(300);
    check('the page cannot be navigated away', window.fennickNotReloaded === true &&
          location.href.startsWith('res:'), location.href);

    // No context menu anywhere.
    await host({op: 'rightClick', x: 300, y: 250});
    await waitFor('right click reaches the host', async () => (await state()).contextMenus > 0, 3000);

    // Escape, Decline and the close box all ask the same question; No keeps
    // the window.
    const question = 'Orvia Fennick|' + expected.confirmation;
    let asked = (await state()).confirmations.length;
    await host({op: 'key', key: 'Escape'});
    await waitFor('Escape asks', async () => (await state()).confirmations.length === asked + 1);
    $('eulaScreenDeclineBtn').click();
    await waitFor('Decline asks', async () => (await state()).confirmations.length === asked + 2);
    await host({op: 'close'});
    await waitFor('the close box asks', async () => (await state()).confirmations.length === asked + 3);
    st = await state();
    check('every question is the quit question', st.confirmations.every((c) => c === question),
          JSON.stringify(st.confirmations));
    check('No keeps the agreement screen', onlyScreen('eulaScreen'));
    await host({op: 'snapshot', name: '1-agreement'});

    // Welcome screen.
    $('eulaScreenAcceptBtn').click();
    check('Accept shows the welcome screen alone', onlyScreen('scanScreen'));
    await host({op: 'snapshot', name: '2-welcome'});

    // Progress screen. The page's polling timer is held back while the
    // screen is looked at, so that even a quick scan cannot leave it.
    const held = [];
    const pageSetTimeout = window.setTimeout;
    window.setTimeout = (f) => { held.push(f); return 0; };
    $('scanScreenScanBtn').click();
    window.setTimeout = pageSetTimeout;
    check('Start shows the progress screen alone', onlyScreen('progressScreen'));
    checkEqual('the bar starts at 0', $('progressMeterValue').style.width, '0%');
    checkEqual('the page polls', held.length, 1);
    st = await state();
    check('the close box is disabled during the scan', !st.closeAllowed && !st.deletable,
          JSON.stringify(st));
    asked = st.confirmations.length;
    await host({op: 'close'});
    await waitFor('the close box is tried', async () => (await state()).closeRequests > st.closeRequests);
    let after = await state();
    check('the close box is refused during the scan without a question',
          after.refusedCloseRequests === st.refusedCloseRequests + 1 &&
          after.confirmations.length === asked, JSON.stringify(after));
    await host({op: 'snapshot', name: '3-progress'});
    held.forEach((f) => f());

    // Results screen.
    await waitFor('the results screen comes', () => onlyScreen('resultsScreen'), 120000);
    st = await state();
    check('the close box is enabled with the results', st.closeAllowed && st.deletable);
    checkEqual('the bar ends at 100', $('progressMeterValue').style.width, '100%');
    const table = $('results').querySelector('table');
    check('the results table arrived', table !== null, $('results').innerHTML.slice(0, 200));
    // What the headless scan of the same machine found is what the page
    // must show: affected products first, then those up to date.
    const scan = expected.scan;
    const wantHeadings = [];
    if (scan.affected.length) wantHeadings.push(expected.headings.affected);
    if (scan.upToDate.length) wantHeadings.push(expected.headings.upToDate);
    if (!wantHeadings.length) wantHeadings.push(expected.headings.none);
    const headings = Array.from($('results').querySelectorAll('div[style*="font-weight: bold"]'))
                          .map((h) => h.textContent.trim());
    checkEqual('result headings', JSON.stringify(headings), JSON.stringify(wantHeadings));
    // Product rows: the first cell of a row with a status picture.
    const rows = Array.from($('results').querySelectorAll('tr')).filter((tr) =>
        tr.querySelector('img[src="res:/PNG/#136"], img[src="res:/PNG/#137"]'));
    const products = rows.map((tr) => ({
      name: tr.querySelector('div').textContent.trim(),
      affected: tr.querySelector('img[src="res:/PNG/#137"]') !== null,
      icon: tr.querySelector('img').getAttribute('src')}));
    const names = (affected) => products.filter((p) => p.affected === affected).map((p) => p.name).sort();
    checkEqual('affected products', JSON.stringify(names(true)),
               JSON.stringify(scan.affected.map((p) => p.name).sort()));
    checkEqual('up-to-date products', JSON.stringify(names(false)),
               JSON.stringify(scan.upToDate.map((p) => p.name).sort()));
    await waitFor('every picture of the results loads', () =>
        Array.from($('results').querySelectorAll('img')).every((img) => img.complete), 5000);
    const broken = Array.from($('results').querySelectorAll('img'))
                        .filter((img) => img.naturalWidth === 0).map((img) => img.getAttribute('src'));
    checkEqual('pictures that did not load', JSON.stringify(broken), '[]');
    const ownIcons = products.filter((p) => p.icon.startsWith('fennick-icon:')).length;
    check('products shown with their own icons', ownIcons >= expected.ownIcons,
          ownIcons + ' of ' + products.length);
    const links = Array.from($('results').querySelectorAll('a')).map((a) => [
      a.closest('tr').previousElementSibling.querySelector('div').textContent.trim(),
      a.getAttribute('href'), a.getAttribute('target'), a.textContent.trim()]);
    const wantLinks = scan.affected.map((p) => [p.name, p.updateLink, '_blank', expected.getUpdate]);
    checkEqual('update links', JSON.stringify(links.sort()), JSON.stringify(wantLinks.sort()));
    await host({op: 'snapshot', name: '4-results'});

    // Rescan: a new session with its own scratch folder, and its icons.
    $('resultsScreenRescanBtn').click();
    check('Rescan shows the progress screen', onlyScreen('progressScreen'));
    await waitFor('the results screen comes again', () => onlyScreen('resultsScreen'), 120000);
    await waitFor('the pictures of the new results load', () =>
        Array.from($('results').querySelectorAll('img')).every((img) => img.complete), 5000);
    const brokenAgain = Array.from($('results').querySelectorAll('img'))
                             .filter((img) => img.naturalWidth === 0).map((img) => img.getAttribute('src'));
    checkEqual('pictures of the rescan that did not load', JSON.stringify(brokenAgain), '[]');
    lines.push('done');
  } catch (error) {
    check('driver', false, String(error && error.stack || error));
  }
  await report();
  // Quit from the results screen ends the application without a question.
  $('resultsScreenQuitBtn').click();
})();
