// The page around the viewer: the console dialogue, the canvas, the frame
// loop and the WebGL that draws what the C++ host gathered. Runs before the
// compiled code; main() calls Module.pvPageStart once the code is ready.
'use strict';

Module.pvPageStart = function () {
  const consoleText = document.getElementById('console');
  const message = document.getElementById('message');
  const canvas = document.getElementById('view');
  const text = (pointer) => UTF8ToString(pointer);
  const StartTitle = document.title;

  const say = (line) => {
    message.textContent = line;
    message.hidden = false;
  };

  // The address's query decides: none is the viewer, a valid one a still
  // frame, anything else a line saying what is wrong.
  const query = window.location.search.replace(/^\?/, '');
  const kind = withString(query, (pointer) => Module._pv_parse_link(pointer));
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

  let drawn = 0;      // frames since the mode was chosen
  let workSum = 0;    // ms of the page's own work, frames after the first
  let loop = 0;       // the pending animation callback
  let state = 'menu'; // menu, computing, view

  const drawFrame = (step) => {
    const start = performance.now();
    if (step) {
      Module._pv_step();
    }
    Module._pv_display();
    const work = performance.now() - start;
    if (drawn > 0) {
      workSum += work;
    }
    drawn += 1;
    canvas.dataset.frames = String(drawn);
    if (drawn > 1) {
      canvas.dataset.workMs = (workSum / (drawn - 1)).toFixed(3);
    }
  };

  const animate = () => {
    drawFrame(drawn > 0);
    loop = window.requestAnimationFrame(animate);
  };

  const openView = (width, height) => {
    canvas.width = width;
    canvas.height = height;
    canvas.style.width = width + 'px';
    canvas.style.height = height + 'px';
    canvas.hidden = false;
    document.title = text(Module._pv_title());
    drawn = 0;
    workSum = 0;
    canvas.dataset.frames = '0';
    delete canvas.dataset.workMs;
    Module._pv_open_view(width, height);
  };

  if (still) {
    Module._pv_choose(Module._pv_link_key());
    Module._pv_sample();
    openView(Module._pv_link_width(), Module._pv_link_height());
    for (let k = Module._pv_link_frame(); k > 0; --k) {
      Module._pv_step();
    }
    drawFrame(false);
    return;
  }

  // The menu as the console shows it; its entries can be clicked or tapped.
  const showMenu = () => {
    state = 'menu';
    document.title = StartTitle;
    canvas.hidden = true;
    consoleText.textContent = '';
    const menu = text(Module._pv_menu_text());
    for (const line of menu.split(/(\n)/)) {
      const entry = /^(\d)\. /.exec(line);
      if (entry) {
        const button = document.createElement('span');
        button.className = 'entry';
        button.setAttribute('role', 'button');
        button.tabIndex = 0;
        button.dataset.key = entry[1];
        button.textContent = line;
        button.addEventListener('click', () => choose(entry[1].charCodeAt(0)));
        consoleText.appendChild(button);
      } else if (line !== '') {
        consoleText.appendChild(document.createTextNode(line));
      }
    }
  };

  const choose = (key) => {
    if (state !== 'menu') {
      return;
    }
    state = 'computing';
    Module._pv_choose(key);
    consoleText.appendChild(document.createTextNode(text(Module._pv_computing_text())));
    // Let the message show before the sampling holds the page.
    window.requestAnimationFrame(() => window.setTimeout(() => {
      Module._pv_sample();
      openView(600, 600);
      state = 'view';
      // Every frame in an animation frame of the browser, the first too, so
      // that no frame waits for the one before it to be shown.
      loop = window.requestAnimationFrame(animate);
    }, 0));
  };

  const stop = () => {
    window.cancelAnimationFrame(loop);
    showMenu();
  };

  // Keys as a terminal would send them: the character's code, Enter 13,
  // Escape and the keys that send escape sequences 27.
  const keyCode = (event) => {
    if (event.key.length === 1) {
      return event.key.charCodeAt(0);
    }
    const named = {Enter: 13, Tab: 9, Backspace: 8, Escape: 27};
    return event.key in named ? named[event.key] : 27;
  };
  const Modifiers = ['Shift', 'Control', 'Alt', 'Meta', 'AltGraph', 'CapsLock', 'NumLock',
                     'ScrollLock', 'Fn', 'OS', 'Dead', 'Unidentified', 'Process'];

  document.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.metaKey || event.altKey || Modifiers.includes(event.key)) {
      return;  // the browser's own shortcuts, and keys that send nothing
    }
    if (state === 'menu') {
      event.preventDefault();
      choose(keyCode(event));
    } else if (state === 'view') {
      event.preventDefault();
      if (event.key === 'Escape') {
        stop();
      } else {
        drawFrame(false);  // any other key redraws
      }
    }
  });

  showMenu();
};

// Calls f with a C copy of the string s.
function withString(s, f) {
  const size = lengthBytesUTF8(s) + 1;
  const pointer = stackAlloc(size);
  stringToUTF8(s, pointer, size);
  return f(pointer);
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

  // Positions, three floats a vertex, and colours, four bytes, in buffers
  // of their own: a frame that changes colours only sends colours only.
  const positions = gl.createBuffer();
  gl.bindBuffer(gl.ARRAY_BUFFER, positions);
  gl.enableVertexAttribArray(0);
  gl.vertexAttribPointer(0, 3, gl.FLOAT, false, 12, 0);
  const colours = gl.createBuffer();
  gl.bindBuffer(gl.ARRAY_BUFFER, colours);
  gl.enableVertexAttribArray(1);
  gl.vertexAttribPointer(1, 3, gl.UNSIGNED_BYTE, true, 4, 0);
  let room = 0;  // vertices that both buffers hold
  const indices = gl.createBuffer();
  gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, indices);

  // Part of the heap: WebGL 2 reads it in place, WebGL 1 through a view.
  const upload = webgl2 ?
      (target, heap, pointer, length) => gl.bufferSubData(target, 0, heap, pointer, length) :
      (target, heap, pointer, length) =>
          gl.bufferSubData(target, 0, heap.subarray(pointer, pointer + length));
  const matrix = webgl2 ?
      (location, pointer) => gl.uniformMatrix4fv(location, false, HEAPF32, pointer >> 2, 16) :
      (location, pointer) => gl.uniformMatrix4fv(location, false,
                                                 HEAPF32.subarray(pointer >> 2, (pointer >> 2) + 16));

  return {
    clear: (mask) => gl.clear(mask),
    viewport: (x, y, width, height) => gl.viewport(x, y, width, height),
    enable: (capability) => gl.enable(capability),
    depthFunc: (func) => gl.depthFunc(func),
    draw: (positionPointer, positionsChanged, colourPointer, vertexCount, indexPointer,
           indexCount, indexRoom, indicesUnchanged, projectionPointer, modelViewPointer) => {
      let fresh = false;
      if (vertexCount > room) {
        room = 2 * vertexCount;
        fresh = true;
        gl.bindBuffer(gl.ARRAY_BUFFER, positions);
        gl.bufferData(gl.ARRAY_BUFFER, 12 * room, gl.STREAM_DRAW);
        gl.bindBuffer(gl.ARRAY_BUFFER, colours);
        gl.bufferData(gl.ARRAY_BUFFER, 4 * room, gl.STREAM_DRAW);
      }
      if (positionsChanged || fresh) {
        gl.bindBuffer(gl.ARRAY_BUFFER, positions);
        upload(gl.ARRAY_BUFFER, HEAPF32, positionPointer >> 2, 3 * vertexCount);
      }
      gl.bindBuffer(gl.ARRAY_BUFFER, colours);
      upload(gl.ARRAY_BUFFER, HEAPU32, colourPointer >> 2, vertexCount);
      if (!indicesUnchanged) {
        gl.bufferData(gl.ELEMENT_ARRAY_BUFFER,
                      HEAPU32.subarray(indexPointer >> 2, (indexPointer >> 2) + indexRoom),
                      gl.STATIC_DRAW);
      }
      matrix(projection, projectionPointer);
      matrix(modelView, modelViewPointer);
      gl.drawElements(gl.TRIANGLES, indexCount, gl.UNSIGNED_INT, 0);
    },
  };
}
