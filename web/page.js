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
      // WebGL 2 reads straight from the heap; WebGL 1 needs views of it.
      if (webgl2) {
        gl.bufferSubData(gl.ARRAY_BUFFER, 0, HEAPF32, vertexPointer >> 2, floats);
        if (!indicesUnchanged) {
          gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, HEAPU32, gl.STATIC_DRAW, indexPointer >> 2,
                        indexRoom);
        }
        gl.uniformMatrix4fv(projection, false, HEAPF32, projectionPointer >> 2, 16);
        gl.uniformMatrix4fv(modelView, false, HEAPF32, modelViewPointer >> 2, 16);
      } else {
        gl.bufferSubData(gl.ARRAY_BUFFER, 0,
                         HEAPF32.subarray(vertexPointer >> 2, (vertexPointer >> 2) + floats));
        if (!indicesUnchanged) {
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
