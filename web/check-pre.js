// The checker's worker: each message is the program pane's text, each
// answer the findings of that text, tagged with the message's number.
var vornCheckQueue = [];
var vornCheckReady = false;

function vornCheckAnswer(request) {
  var size = lengthBytesUTF8(request.text);
  var text = _malloc(size + 1);
  stringToUTF8(request.text, text, size + 1);
  var report = UTF8ToString(_vorn_check(text, size));
  _free(text);
  var findings = report.split('\n').filter(function (line) { return line !== ''; }).map(function (line) {
    var parts = line.split('\t');
    return { line: Number(parts[0]), severity: parts[1], code: parts[2], text: parts.slice(3).join('\t') };
  });
  postMessage({ id: request.id, findings: findings });
}

Module['onRuntimeInitialized'] = function () {
  vornCheckReady = true;
  vornCheckQueue.splice(0).forEach(vornCheckAnswer);
};

self.onmessage = function (event) {
  if (vornCheckReady) vornCheckAnswer(event.data);
  else vornCheckQueue = [event.data];  // only the newest text matters
};
