// The editor's side of the demo's HTTP API and push channel. The token comes from the
// page's address; every request carries it in the Authorization header (the API does
// not take the cookie, so another page cannot borrow it).

export const token = new URLSearchParams(location.search).get("token") || "";

export class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

async function request(method, path, body) {
  const init = { method, headers: { Authorization: "Bearer " + token } };
  if (body !== undefined) {
    init.headers["Content-Type"] = "application/json";
    init.body = JSON.stringify(body);
  }
  let res;
  try {
    res = await fetch(path, init);
  } catch (e) {
    throw new ApiError(0, "the demo does not answer (" + e.message + ")");
  }
  let data = null;
  const text = await res.text();
  try { data = text ? JSON.parse(text) : null; } catch (e) { data = null; }
  if (!res.ok) throw new ApiError(res.status, (data && data.error) || text.trim() || res.statusText);
  return data;
}

// Changes go out one at a time, in order: a move sent while the previous one is on its
// way must not overtake it.
let queue = Promise.resolve();
function serial(fn) {
  const p = queue.then(fn, fn);
  queue = p.catch(() => {});
  return p;
}

export const api = {
  timeline: () => request("GET", "/api/timeline"),
  waveform: (width) => request("GET", "/api/waveform?width=" + width),
  value: (track, row) => request("GET", "/api/value?track=" + encodeURIComponent(track) + "&row=" + row),
  setKey: (body) => serial(() => request("POST", "/api/keys", body)),
  deleteKey: (track, row) =>
    serial(() => request("DELETE", "/api/keys?track=" + encodeURIComponent(track) + "&row=" + row)),
  transport: (body) => serial(() => request("POST", "/api/transport", body)),
  save: (revision) => serial(() => request("POST", "/api/save", { revision })),
};

// The push channel: messages to onMessage; onState(true/false) when it opens or closes.
// After a close it tries again every second (the demo may be restarting).
export function connectEvents(onMessage, onState) {
  let opened = false;
  const open = () => {
    const scheme = location.protocol === "https:" ? "wss://" : "ws://";
    const ws = new WebSocket(scheme + location.host + "/api/events?token=" + encodeURIComponent(token));
    ws.onopen = () => { opened = true; onState(true); };
    ws.onmessage = (ev) => {
      let msg;
      try { msg = JSON.parse(ev.data); } catch (e) { return; }
      onMessage(msg);
    };
    ws.onclose = () => {
      if (opened) onState(false);
      opened = false;
      setTimeout(open, 1000);
    };
    // A failed connection logs in the console by itself; onclose follows and retries.
  };
  open();
}
