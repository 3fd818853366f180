// Inside the module: its WebAssembly is embedded in this script, so it has nothing to fetch.
// Without this the loader would first try fetch() on its own data: address, which the page's
// Content-Security-Policy refuses, before decoding it in place as it then does.
var fetch = undefined;
