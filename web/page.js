// The page around the viewer: the console dialogue, the canvas and its
// controls, the frame loop and the WebGL that draws what the C++ host
// gathered. Runs before the compiled code; main() calls Module.pvPageStart
// once the code is ready.
'use strict';

Module.pvPageStart = function () {
  const consoleText = document.getElementById('console');
  const message = document.getElementById('message');
  const canvas = document.getElementById('view');
  const controls = document.getElementById('controls');
  const backButton = document.getElementById('back');
  const pauseButton = document.getElementById('pause');
  const legend = document.getElementById('legend');
  const colouringControls = document.getElementById('colouring');
  const derivativesControls = document.getElementById('derivatives');
  const text = (pointer) => UTF8ToString(pointer);
  const StartTitle = document.title;

  // One line for the reader; the empty line takes no room.
  const say = (line) => {
    message.textContent = line;
  };

  // The address's parameters as the browser decodes them; the C++ reads
  // them: none of its own is the viewer, a valid set a still frame,
  // anything else a line saying what is wrong.
  for (const [name, value] of new URLSearchParams(window.location.search)) {
    withStrings(name, value, Module._pv_link_add);
  }
  const kind = Module._pv_link_read();
  if (kind === 2) {
    say(text(Module._pv_link_error()));
    return;
  }
  const still = kind === 1;
  const renderer = makeRenderer(canvas, still);
  if (typeof renderer === 'string') {
    say(renderer);
    return;
  }
  Module.pvRenderer = renderer;

  let state = still ? 'still' : 'menu';  // menu, computing, view, still
  let drawn = 0;       // frames drawn since the mode was chosen
  let steps = 0;       // idle steps since then: the frame shown is frame `steps`
  let workSum = 0;     // ms of the page's own work, frames after the first
  let loop = 0;        // the pending animation callback, 0 for none
  let paused = false;  // no idle steps; the frame stays
  let lost = false;    // the browser took the WebGL context away

  const drawFrame = (step) => {
    if (lost) {
      return;
    }
    const start = performance.now();
    if (step) {
      Module._pv_step();
      steps += 1;
    }
    Module._pv_display();
    const work = performance.now() - start;
    if (drawn > 0) {
      workSum += work;
    }
    drawn += 1;
    canvas.dataset.frames = String(drawn);
    canvas.dataset.step = String(steps);
    if (drawn > 1) {
      canvas.dataset.workMs = (workSum / (drawn - 1)).toFixed(3);
    }
  };

  const running = () => state === 'view' && !paused && !lost;
  // The first frame is drawn in an animation frame too, so that no frame
  // waits for the one before it to be shown; paused, it is the only one.
  const animate = () => {
    loop = 0;
    drawFrame(drawn > 0);
    if (running()) {
      loop = window.requestAnimationFrame(animate);
    }
  };
  const startLoop = () => {
    if (!loop && !lost) {
      loop = window.requestAnimationFrame(animate);
    }
  };
  const stopLoop = () => {
    window.cancelAnimationFrame(loop);
    loop = 0;
  };

  // The style the controls ask for: the distance colouring or the
  // shading, the Ferguson patches' derivatives scaled or as drawn.
  const chosenStyle = () => ({
    distance: colouringControls.querySelector('input:checked').value === 'distance',
    scaled: derivativesControls.querySelector('input:checked').value === 'scaled',
  });

  const describe = (title, style, frame) => {
    const ferguson = title === 'Ferguson Patches';
    let shown = ferguson ? 'Ferguson patches' : 'cubic strips';
    if (ferguson && style.scaled) {
      shown += ' with their derivatives scaled by the steps';
    }
    if (style.distance) {
      shown += ' coloured by their distance from the exact tube, blue inside and red outside';
    } else {
      shown = ferguson ? 'blue ' + shown + ' on the side that faces the eye'
                       : 'shaded ' + shown + ' tinted from green to blue';
    }
    const when = frame === undefined ? 'as the eye circles it' : 'frame ' + frame;
    return title + ': a tube swept along a knotted curve, drawn as ' + shown + ', ' + when;
  };

  // The legend's bar: the map's stops as the C++ colours with them, linear
  // in sRGB between them as the gradient is.
  const stops = Module._pv_distance_stops();
  document.getElementById('legend-bar').style.background = 'linear-gradient(to right, ' +
      [0, 1, 2, 3, 4].map((k) => 'rgb(' + HEAPU8[stops + 3 * k] + ', ' + HEAPU8[stops + 3 * k + 1] +
                                 ', ' + HEAPU8[stops + 3 * k + 2] + ') ' + 25 * k + '%').join(', ') +
      ')';

  // The legend for the distance colouring, with the scale D in % of the
  // radius as the recorder prints it; hidden for the shading. The first
  // scale after a sampling measures the representation.
  const showLegend = (distance) => {
    legend.hidden = !distance;
    if (!distance) {
      return;
    }
    const d = String(Number(Module._pv_scale_percent().toPrecision(3)));
    document.getElementById('legend-low').textContent = '\u2212' + d + ' %';
    document.getElementById('legend-high').textContent = '+' + d + ' %';
    document.getElementById('legend-text').textContent =
        'Distance from the exact tube, from \u2212' + d + ' % to +' + d +
        ' % of its radius: blue inside, grey on it, red outside.';
  };

  // The controls' style for the chosen mode; the cubic strips have no
  // choice of derivatives, so theirs are not offered.
  const applyStyle = () => {
    const ferguson = Module._pv_ferguson() === 1;
    derivativesControls.hidden = !ferguson;
    const style = chosenStyle();
    Module._pv_set_style(style.distance ? 1 : 0, style.scaled && ferguson ? 1 : 0);
    showLegend(style.distance);
    canvas.setAttribute('aria-label', describe(document.title, style));
  };

  // The drawing buffer in device pixels for the canvas's size on the page,
  // at most the largest side a still may have.
  const bufferSide = () => Math.min(4096, Math.max(
      1, Math.round(canvas.getBoundingClientRect().width * window.devicePixelRatio)));

  const openView = (width, height) => {
    canvas.width = width;
    canvas.height = height;
    document.title = text(Module._pv_title());
    drawn = 0;
    steps = 0;
    workSum = 0;
    canvas.dataset.frames = '0';
    canvas.dataset.step = '0';
    delete canvas.dataset.workMs;
    if (!lost) {
      Module._pv_open_view(width, height);
    }
  };

  const fit = () => {
    if (state !== 'view') {
      return;
    }
    const side = bufferSide();
    if (side === canvas.width && side === canvas.height) {
      return;
    }
    canvas.width = side;  // clears the picture: it is drawn again at once
    canvas.height = side;
    if (!lost) {
      Module._pv_open_view(side, side);
      if (drawn > 0) {
        drawFrame(false);
      }
    }
  };

  // A lost context stays restorable; the page waits for it and then goes on
  // from the frame it showed.
  canvas.addEventListener('webglcontextlost', (event) => {
    event.preventDefault();
    lost = true;
    stopLoop();
    say('The graphics context was lost; the picture comes back when the browser restores it.');
  });
  canvas.addEventListener('webglcontextrestored', () => {
    const again = makeRenderer(canvas, still);
    if (typeof again === 'string') {
      say(again);
      return;
    }
    Module.pvRenderer = again;
    lost = false;
    say('');
    if (state === 'view' || state === 'still') {
      Module._pv_open_view(canvas.width, canvas.height);
      drawFrame(false);
      if (running()) {
        startLoop();
      }
    }
  });

  if (still) {
    Module._pv_choose(Module._pv_link_key());
    Module._pv_sample();
    // As the recorder: the style after the sampling, then its scale.
    const style = {distance: Module._pv_link_distance() === 1,
                   scaled: Module._pv_link_scaled() === 1};
    Module._pv_set_style(style.distance ? 1 : 0, style.scaled ? 1 : 0);
    showLegend(style.distance);
    // The link's size is the picture's, in image pixels, as the recorder's.
    canvas.style.width = Module._pv_link_width() + 'px';
    openView(Module._pv_link_width(), Module._pv_link_height());
    canvas.setAttribute('aria-label', describe(document.title, style, Module._pv_link_frame()));
    canvas.hidden = false;
    for (let k = Module._pv_link_frame(); k > 0; --k) {
      Module._pv_step();
      steps += 1;
    }
    drawFrame(false);
    return;
  }

  // The menu as the console shows it. At the menu its entries are buttons
  // to click, tap or reach with Tab; from the choice on they are text.
  const showConsole = (offerEntries) => {
    consoleText.textContent = '';
    const menu = text(Module._pv_menu_text());
    for (const line of menu.split(/(\n)/)) {
      const entry = /^(\d)\. /.exec(line);
      if (entry && offerEntries) {
        const button = document.createElement('button');
        button.type = 'button';
        button.tabIndex = 0;  // Safari skips buttons on Tab otherwise
        button.dataset.key = entry[1];
        button.textContent = line;
        button.addEventListener('click', () => choose(entry[1].charCodeAt(0)));
        consoleText.appendChild(button);
      } else if (line !== '') {
        consoleText.appendChild(document.createTextNode(line));
      }
    }
  };

  const showMenu = () => {
    state = 'menu';
    document.title = StartTitle;
    canvas.hidden = true;
    controls.hidden = true;
    legend.hidden = true;
    showConsole(true);
  };

  const setPaused = (value) => {
    paused = value;
    pauseButton.textContent = paused ? 'Play' : 'Pause';
    if (paused && drawn > 0) {
      stopLoop();
    } else if (running()) {
      startLoop();
    }
  };

  const choose = (key) => {
    if (state !== 'menu') {
      return;
    }
    state = 'computing';
    Module._pv_choose(key);
    showConsole(false);
    consoleText.appendChild(document.createTextNode(text(Module._pv_computing_text())));
    // Let the message show before the sampling holds the page.
    window.requestAnimationFrame(() => window.setTimeout(() => {
      Module._pv_sample();
      canvas.classList.add('fit');
      canvas.hidden = false;
      controls.hidden = false;
      openView(bufferSide(), bufferSide());
      applyStyle();  // measures now, if need be, so that no frame waits
      state = 'view';
      // With reduced motion asked for, the view waits on its first frame.
      setPaused(window.matchMedia('(prefers-reduced-motion: reduce)').matches);
      startLoop();
    }, 0));
  };

  // Back to the menu, as a new run of the viewer would start. Focus that
  // was on a control, now hidden, goes to the first menu line.
  const stop = () => {
    const focusWasOnControl = controls.contains(document.activeElement);
    stopLoop();
    showMenu();
    if (focusWasOnControl) {
      consoleText.querySelector('button').focus();
    }
  };

  // A new style redraws the frame shown; the distance colouring's first
  // scale for a representation takes a moment, said first.
  const restyle = () => {
    if (state !== 'view') {
      return;
    }
    if (chosenStyle().distance && !lost) {
      say('Measuring the distances from the tube\u2026');
    }
    window.requestAnimationFrame(() => window.setTimeout(() => {
      if (state !== 'view') {
        return;
      }
      applyStyle();
      if (!lost) {
        say('');
        if (drawn > 0) {
          drawFrame(false);
        }
      }
    }, 0));
  };
  colouringControls.addEventListener('change', restyle);
  derivativesControls.addEventListener('change', restyle);

  backButton.addEventListener('click', stop);
  pauseButton.addEventListener('click', () => setPaused(!paused));
  new ResizeObserver(fit).observe(canvas);
  window.addEventListener('resize', fit);  // the pixel ratio changes with the zoom

  // The console's rule for characters and Enter; every other key (Tab,
  // arrows, pages, Home, End, F1-F12, the browser's shortcuts) keeps its
  // browser meaning and chooses nothing. Escape ends a view and, at the
  // menu, starts none.
  document.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.metaKey || event.altKey || event.isComposing) {
      return;
    }
    const character = [...event.key].length === 1;
    if (state === 'menu') {
      const line = event.target instanceof Element ? event.target.closest('#console button') : null;
      if (line && (event.key === 'Enter' || event.key === ' ')) {
        event.preventDefault();
        choose(line.dataset.key.charCodeAt(0));
      } else if (character || event.key === 'Enter') {
        event.preventDefault();
        choose(event.key === 'Enter' ? 13 : event.key.charCodeAt(0));
      }
    } else if (state === 'view') {
      if (event.key === 'Escape') {
        event.preventDefault();
        stop();
      } else if (character || event.key === 'Enter') {
        drawFrame(false);  // redraws, as the window does
      }
    }
  });

  showMenu();
};

// Calls f with C copies of the strings a and b, freed afterwards.
function withStrings(a, b, f) {
  const copy = (s) => {
    const size = lengthBytesUTF8(s) + 1;
    const pointer = _malloc(size);
    stringToUTF8(s, pointer, size);
    return pointer;
  };
  const pa = copy(a);
  const pb = copy(b);
  try {
    return f(pa, pb);
  } finally {
    _free(pa);
    _free(pb);
  }
}

// WebGL with what the host needs, or a line saying why there is none.
function makeRenderer(canvas, preserve) {
  const attributes = {alpha: false, depth: true, stencil: false, antialias: false,
                      premultipliedAlpha: false, preserveDrawingBuffer: preserve};
  let gl = null;
  try {
    gl = canvas.getContext('webgl2', attributes) || canvas.getContext('webgl', attributes);
  } catch (e) {
    gl = null;
  }
  if (!gl) {
    return 'This page draws with WebGL, and this browser offers none: it is switched off, ' +
           'or the graphics driver is not supported.';
  }
  const webgl2 = typeof WebGL2RenderingContext !== 'undefined' &&
                 gl instanceof WebGL2RenderingContext;
  if (!webgl2 && !gl.getExtension('OES_element_index_uint')) {
    return 'This page needs WebGL with 32-bit element indices, which this browser lacks.';
  }

  const shader = (type, source) => {
    const s = gl.createShader(type);
    gl.shaderSource(s, source);
    gl.compileShader(s);
    return s;
  };
  const program = gl.createProgram();
  gl.attachShader(program, shader(gl.VERTEX_SHADER, [
    'attribute vec3 position;',
    'attribute vec3 colour;',
    'uniform mat4 projection;',
    'uniform mat4 modelView;',
    'varying vec3 shade;',
    'void main() {',
    '  gl_Position = projection * (modelView * vec4(position, 1.0));',
    '  shade = colour;',
    '}'].join('\n')));
  gl.attachShader(program, shader(gl.FRAGMENT_SHADER, [
    'precision highp float;',
    'varying vec3 shade;',
    'void main() { gl_FragColor = vec4(shade, 1.0); }'].join('\n')));
  gl.bindAttribLocation(program, 0, 'position');
  gl.bindAttribLocation(program, 1, 'colour');
  gl.linkProgram(program);
  if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
    return 'This browser\'s WebGL could not build the page\'s shaders: ' +
           gl.getProgramInfoLog(program);
  }
  gl.useProgram(program);
  const projection = gl.getUniformLocation(program, 'projection');
  const modelView = gl.getUniformLocation(program, 'modelView');

  // One vertex: position, three floats, and colour, four bytes.
  const Stride = 16;
  const vertices = gl.createBuffer();
  gl.bindBuffer(gl.ARRAY_BUFFER, vertices);
  gl.enableVertexAttribArray(0);
  gl.enableVertexAttribArray(1);
  gl.vertexAttribPointer(0, 3, gl.FLOAT, false, Stride, 0);
  gl.vertexAttribPointer(1, 3, gl.UNSIGNED_BYTE, true, Stride, 12);
  let vertexRoom = 0;
  const indices = gl.createBuffer();
  gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, indices);
  // A new renderer (after a lost context) has no index list yet, whatever
  // the host last sent.
  let indexListHeld = false;

  return {
    clear: (mask) => gl.clear(mask),
    viewport: (x, y, width, height) => gl.viewport(x, y, width, height),
    enable: (capability) => gl.enable(capability),
    depthFunc: (func) => gl.depthFunc(func),
    draw: (vertexPointer, vertexCount, indexPointer, indexCount, indexRoom, indicesUnchanged,
           projectionPointer, modelViewPointer) => {
      const floats = vertexCount * 4;
      if (floats > vertexRoom) {
        vertexRoom = 2 * floats;
        gl.bufferData(gl.ARRAY_BUFFER, 4 * vertexRoom, gl.STREAM_DRAW);
      }
      const uploadIndices = !indicesUnchanged || !indexListHeld;
      indexListHeld = true;
      // WebGL 2 reads straight from the heap; WebGL 1 needs views of it.
      if (webgl2) {
        gl.bufferSubData(gl.ARRAY_BUFFER, 0, HEAPF32, vertexPointer >> 2, floats);
        if (uploadIndices) {
          gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, HEAPU32, gl.STATIC_DRAW, indexPointer >> 2,
                        indexRoom);
        }
        gl.uniformMatrix4fv(projection, false, HEAPF32, projectionPointer >> 2, 16);
        gl.uniformMatrix4fv(modelView, false, HEAPF32, modelViewPointer >> 2, 16);
      } else {
        gl.bufferSubData(gl.ARRAY_BUFFER, 0,
                         HEAPF32.subarray(vertexPointer >> 2, (vertexPointer >> 2) + floats));
        if (uploadIndices) {
          gl.bufferData(gl.ELEMENT_ARRAY_BUFFER,
                        HEAPU32.subarray(indexPointer >> 2, (indexPointer >> 2) + indexRoom),
                        gl.STATIC_DRAW);
        }
        gl.uniformMatrix4fv(projection, false,
                            HEAPF32.subarray(projectionPointer >> 2, (projectionPointer >> 2) + 16));
        gl.uniformMatrix4fv(modelView, false,
                            HEAPF32.subarray(modelViewPointer >> 2, (modelViewPointer >> 2) + 16));
      }
      gl.drawElements(gl.TRIANGLES, indexCount, gl.UNSIGNED_INT, 0);
    },
  };
}
