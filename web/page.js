// The page: the window's form on HTML controls, over the engine in the module above. Every word
// it shows comes from the engine's message table (melvane_face and the results' texts).
(function () {
  "use strict";

  const MAX_STEPS = 12;
  const $ = (id) => document.getElementById(id);

  const state = {
    module: null,
    language: navigator.language && navigator.language.slice(0, 2).toLowerCase() === "de" ? 1 : 0,
    face: null,
    file: null,         // the chosen File
    steps: 0,
    spelling: null,     // the face's default until a choice is made
    proposed: "",       // the name last proposed; a field that differs holds the user's own
    download: null,     // the object URL offered for the last result
    busy: false,
  };

  function call(name, types, args) {
    return JSON.parse(state.module.ccall(name, "string", types, args));
  }

  // --- The face ----------------------------------------------------------------------------

  // One of the window's pictures (custom properties of the page's style) as the element's
  // background. Pictures that carry words exist per language ("_en", "_de").
  function setPicture(element, stem, worded) {
    const name = worded ? stem + "_" + state.face.lang : stem;
    element.style.backgroundImage = "var(--pic-" + name + ")";
  }

  function renderSpellings() {
    const group = $("spellings");
    group.textContent = "";
    state.face.spellings.forEach((choice, index) => {
      const label = document.createElement("label");
      label.className = "option";
      label.style.top = 182 + 30 * index + "px";
      const input = document.createElement("input");
      input.type = "radio";
      input.name = "spelling";
      input.value = String(choice.value);
      input.checked = choice.value === state.spelling;
      input.setAttribute("aria-label", choice.label);
      input.addEventListener("change", () => {
        state.spelling = choice.value;
        renderMarkers();
      });
      const marker = document.createElement("span");
      marker.className = "marker";
      const text = document.createElement("span");
      text.className = "option-label";
      setPicture(text, choice.picture, true);
      text.style.width = "var(--width-" + choice.picture + "_" + state.face.lang + ")";
      label.append(input, marker, text);
      group.append(label);
    });
    renderMarkers();
  }

  function renderMarkers() {
    for (const input of document.querySelectorAll("input[name=spelling]")) {
      setPicture(input.nextElementSibling, input.checked ? "12_marker_selected" : "11_marker");
    }
  }

  function renderFace() {
    const face = (state.face = call("melvane_face", ["number"], [state.language]));
    if (state.spelling === null) {
      state.spelling = face.defaultSpelling;
    }
    document.documentElement.lang = face.lang;
    $("face").dataset.lang = face.lang;
    $("step-up").setAttribute("aria-label", face.stepUp);
    $("step-down").setAttribute("aria-label", face.stepDown);
    $("steps").setAttribute("aria-label", face.stepField);
    $("output").setAttribute("aria-label", face.outputName);
    $("transpose").setAttribute("aria-label", face.transpose);
    $("transpose").classList.toggle("wide", face.lang === "de");
    $("remove").setAttribute("aria-label", face.removeFile);
    $("lang-de").setAttribute("aria-label", face.german);
    $("lang-en").setAttribute("aria-label", face.english);
    $("lang-de").checked = state.language === 1;
    $("lang-en").checked = state.language === 0;
    setPicture($("flag-de"), state.language === 1 ? "22_flag_de_active" : "21_flag_de_inactive");
    setPicture($("flag-en"), state.language === 0 ? "24_flag_en_active" : "23_flag_en_inactive");
    $("info-line").textContent = face.infoLine;
    $("web-link").textContent = face.webAddress;
    $("web-link").href = face.webAddress;
    $("web-link").setAttribute("aria-label", face.webLink);
    renderSpellings();
    renderSource();
  }

  function renderSource() {
    const zone = $("drop-zone");
    const chosen = state.file !== null;
    zone.classList.toggle("chosen", chosen);
    $("source-name").textContent = chosen ? state.file.name : "";
    zone.setAttribute("aria-label", chosen
      ? state.face.dropZoneChosen.replace("%1", () => state.file.name) : state.face.dropZone);
    $("remove").hidden = !chosen;
  }

  // --- Feedback ------------------------------------------------------------------------------

  function clearFeedback() {
    $("status").textContent = "";
    $("alert").hidden = true;
    $("alert-title").textContent = "";
    $("alert-text").textContent = "";
    $("result").hidden = true;
    if (state.download) {
      URL.revokeObjectURL(state.download);
      state.download = null;
    }
  }

  function tell(title, text, kind) {
    $("alert").hidden = false;
    $("alert").className = "alert " + kind;
    $("alert-title").textContent = title;
    $("alert-text").textContent = text;
    $("alert").scrollIntoView({ block: "nearest" });
  }

  // --- Steps and the output name ---------------------------------------------------------------

  function leadingNumber(text) {
    const match = /^[ \t]*([+-]?)(\d*)/.exec(text);
    const value = match[2] ? Math.min(Number(match[2]), 1e6) : 0;
    return match[1] === "-" ? -value : value;
  }

  const clamp = (value) => Math.max(-MAX_STEPS, Math.min(MAX_STEPS, value));

  function refreshOutputName(previous) {
    const field = $("output");
    if (!state.file) {
      field.value = "";
      state.proposed = "";
      return;
    }
    const proposal = call("melvane_propose", ["string", "number"], [state.file.name, state.steps]);
    const current = field.value;
    let next = proposal;
    if (current !== "" && current !== state.proposed) {
      const moved = call("melvane_move_marker", ["string", "number", "number"],
        [current, previous, state.steps]);
      next = moved || current;
    }
    state.proposed = proposal;
    if (next !== current) field.value = next;
  }

  function setSteps(value, show) {
    const previous = state.steps;
    state.steps = clamp(value);
    if (show) $("steps").value = String(state.steps);
    if (previous !== state.steps) refreshOutputName(previous);
  }

  function commitSteps() {
    setSteps(leadingNumber($("steps").value), true);
  }

  // --- Choosing a sheet -----------------------------------------------------------------------

  function choose(file) {
    clearFeedback();
    // Refused by name and size before a byte of it is read.
    const verdict = call("melvane_choose", ["string", "number", "number"],
      [file.name, file.size, state.language]);
    if (!verdict.ok) {
      tell(state.face.informationTitle, verdict.message, "information");
      return;
    }
    state.file = file;
    state.proposed = "";
    $("output").value = "";
    refreshOutputName(state.steps);
    renderSource();
  }

  function removeFile() {
    state.file = null;
    $("file").value = "";
    refreshOutputName(state.steps);
    renderSource();
    $("drop-zone").focus();
  }

  function resetForm() {
    state.file = null;
    $("file").value = "";
    state.steps = 0;
    state.spelling = state.face.defaultSpelling;
    state.proposed = "";
    $("steps").value = "0";
    $("output").value = "";
    renderSpellings();
    renderSource();
  }

  // --- Transposing ----------------------------------------------------------------------------

  async function transpose() {
    if (state.busy) return;  // one sheet at a time
    state.busy = true;
    try {
      await transposeChosen();
    } finally {
      state.busy = false;
    }
  }

  async function transposeChosen() {
    commitSteps();
    clearFeedback();
    const face = state.face;
    if (!state.file) {
      tell(face.informationTitle, face.noSource, "information");
      $("drop-zone").focus();
      return;
    }
    if (state.steps === 0) {
      tell(face.informationTitle, face.noSteps, "information");
      $("steps").focus();
      return;
    }
    const check = call("melvane_check_output", ["string", "string", "number"],
      [state.file.name, $("output").value, state.language]);
    if (check.question && !window.confirm(check.question)) {
      $("output").focus();
      return;
    }
    if (check.name !== "") $("output").value = check.name;

    const file = state.file;
    performance.mark("melvane-transpose-start");  // bench/web_songbook.py reads the measure
    const bytes = new Uint8Array(await file.arrayBuffer());
    const FS = state.module.FS;
    // One folder per job, emptied afterwards: the page keeps no copy.
    const folder = "/job";
    FS.mkdir(folder);
    FS.chdir(folder);
    let result;
    try {
      FS.writeFile(file.name, bytes);
      result = call("melvane_transpose", ["string", "string", "number", "number", "number"],
        [file.name, check.name, state.steps, state.spelling, state.language]);
      if (result.output) result.bytes = FS.readFile(result.output);
      for (const name of FS.readdir(folder)) {
        if (name !== "." && name !== "..") FS.unlink(folder + "/" + name);
      }
      FS.chdir("/");
      FS.rmdir(folder);
    } catch (aborted) {
      // The engine stopped (memory ran out): its copy of the sheet goes with it, and a fresh
      // one takes over.
      tell(face.errorTitle, face.sourceUnreadable.replace("%1", () => file.name), "error");
      state.module = await createMelvane();
      $("drop-zone").focus();
      return;
    }
    if (result.message) tell(result.title, result.message, "error");
    if (!result.bytes) {
      $(result.fault === "output" ? "output" : "drop-zone").focus();
      return;
    }
    offer(result.output, result.bytes, result.line);
    performance.measure("melvane-transpose", "melvane-transpose-start");
    resetForm();
  }

  // The result as a download under the output's name, started at once and kept as a link.
  function offer(name, bytes, line) {
    const url = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
    state.download = url;
    const link = $("download");
    link.href = url;
    link.download = name;
    link.textContent = name;
    link.setAttribute("aria-label", state.face.download.replace("%1", () => name));
    $("status").textContent = name + ": " + line;
    $("result").hidden = false;
    $("result").scrollIntoView({ block: "nearest" });
    link.click();
  }

  // --- Wiring ---------------------------------------------------------------------------------

  function isEnterTarget(element) {
    return element && (element.id === "steps" || element.id === "output" ||
      element.name === "spelling");
  }

  function wire() {
    const fileInput = $("file");
    $("drop-zone").addEventListener("click", () => fileInput.click());
    fileInput.addEventListener("change", () => {
      if (fileInput.files.length > 0) choose(fileInput.files[0]);
    });
    const zone = $("drop-zone");
    for (const type of ["dragenter", "dragover"]) {
      document.addEventListener(type, (event) => {
        event.preventDefault();
        zone.classList.add("hover");
      });
    }
    document.addEventListener("dragleave", () => zone.classList.remove("hover"));
    document.addEventListener("drop", (event) => {
      event.preventDefault();
      zone.classList.remove("hover");
      if (event.dataTransfer.files.length > 0) choose(event.dataTransfer.files[0]);
    });
    $("remove").addEventListener("click", (event) => {
      event.stopPropagation();
      removeFile();
    });

    const steps = $("steps");
    steps.addEventListener("beforeinput", (event) => {
      if (event.data && /[^0-9+-]/.test(event.data)) event.preventDefault();
    });
    steps.addEventListener("input", () => setSteps(leadingNumber(steps.value), false));
    steps.addEventListener("blur", commitSteps);
    steps.addEventListener("keydown", (event) => {
      const by = { ArrowUp: 1, ArrowDown: -1, PageUp: 5, PageDown: -5 }[event.key];
      if (by === undefined || event.ctrlKey || event.altKey) return;
      event.preventDefault();
      commitSteps();
      setSteps(state.steps + by, true);
      steps.select();
    });
    $("step-up").addEventListener("click", () => { commitSteps(); setSteps(state.steps + 1, true); });
    $("step-down").addEventListener("click", () => { commitSteps(); setSteps(state.steps - 1, true); });

    $("transpose").addEventListener("click", transpose);
    for (const [id, language] of [["lang-de", 1], ["lang-en", 0]]) {
      $(id).addEventListener("change", () => {
        state.language = language;
        clearFeedback();
        renderFace();
      });
    }

    document.addEventListener("keydown", (event) => {
      const plain = !event.ctrlKey && !event.altKey && !event.metaKey;
      if (event.key === "Enter" && plain && isEnterTarget(document.activeElement)) {
        event.preventDefault();
        transpose();
      } else if (event.key === "Escape" && plain) {
        resetForm();
        clearFeedback();
      } else if (event.key.toLowerCase() === "o" && event.ctrlKey && !event.altKey) {
        event.preventDefault();
        fileInput.click();
      }
    });

    // The face keeps the window's layout; a narrow screen gets it smaller, zoom makes it larger.
    const fit = () => {
      const scale = Math.min(1, document.documentElement.clientWidth / 600);
      document.documentElement.style.setProperty("--scale", String(scale));
    };
    // Also when a scroll bar comes or goes with the feedback below the face.
    new ResizeObserver(fit).observe(document.documentElement);
  }

  function installable() {
    if (!/^https?:$/.test(location.protocol) || !("serviceWorker" in navigator)) return;
    const manifest = document.createElement("link");
    manifest.rel = "manifest";
    manifest.href = "manifest.webmanifest";
    document.head.append(manifest);
    navigator.serviceWorker.register("sw.js").catch(() => {});
  }

  createMelvane().then((module) => {
    state.module = module;
    wire();
    renderFace();
    $("steps").value = "0";
    document.body.classList.add("ready");
    performance.mark("melvane-ready");
    installable();
  });
})();
