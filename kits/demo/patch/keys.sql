--
-- PostgreSQL database dump
--





--
-- Name: kelm_user kelm_user_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.kelm_user
    ADD CONSTRAINT kelm_user_pkey PRIMARY KEY (kelm_user_id);


--
-- Name: maindocaction maindocaction_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.maindocaction
    ADD CONSTRAINT maindocaction_pkey PRIMARY KEY (idaction);


--
-- Name: maindocmove maindocmove_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.maindocmove
    ADD CONSTRAINT maindocmove_pkey PRIMARY KEY (idmove);


--
-- Name: maindocstate maindocstate_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.maindocstate
    ADD CONSTRAINT maindocstate_pkey PRIMARY KEY (idstate);


--
-- Name: maindoctype maindoctype_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.maindoctype
    ADD CONSTRAINT maindoctype_pkey PRIMARY KEY (typedoc);


--
-- Name: maingroupoperate maingroupoperate_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.maingroupoperate
    ADD CONSTRAINT maingroupoperate_pkey PRIMARY KEY (grp);


--
-- Name: maintypeoperate maintypeoperate_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.maintypeoperate
    ADD CONSTRAINT maintypeoperate_pkey PRIMARY KEY (grp, type);


--
-- Name: operation_documenttempl operation_documenttempl_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.operation_documenttempl
    ADD CONSTRAINT operation_documenttempl_pkey PRIMARY KEY (id_template);


--
-- Name: proddocaction proddocaction_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.proddocaction
    ADD CONSTRAINT proddocaction_pkey PRIMARY KEY (action);


--
-- Name: proddocstate proddocstate_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.proddocstate
    ADD CONSTRAINT proddocstate_pkey PRIMARY KEY (grp, state);


--
-- Name: proddoctype proddoctype_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.proddoctype
    ADD CONSTRAINT proddoctype_pkey PRIMARY KEY (typedoc);


--
-- Name: prodgroupoperate prodgroupoperate_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.prodgroupoperate
    ADD CONSTRAINT prodgroupoperate_pkey PRIMARY KEY (grp);


--
-- Name: prodtypeoperate prodtypeoperate_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.prodtypeoperate
    ADD CONSTRAINT prodtypeoperate_pkey PRIMARY KEY (grp, type);


--
-- Name: prodtypeoperate prodtypeoperate_type_key; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.prodtypeoperate
    ADD CONSTRAINT prodtypeoperate_type_key UNIQUE (type);


--
-- Name: setup setup_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.setup
    ADD CONSTRAINT setup_pkey PRIMARY KEY (id_firm);


--
-- Name: struct_gr_firm struct_gr_firm_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.struct_gr_firm
    ADD CONSTRAINT struct_gr_firm_pkey PRIMARY KEY (id_firm);


--
-- Name: struct_gr struct_gr_pkey; Type: CONSTRAINT; Schema: public; Owner: -
--

ALTER TABLE ONLY public.struct_gr
    ADD CONSTRAINT struct_gr_pkey PRIMARY KEY (id_struct);


--
-- Name: maindocaction_idmove; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX maindocaction_idmove ON public.maindocaction USING btree (idmove);


--
-- Name: maindocaction_key; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX maindocaction_key ON public.maindocaction USING btree (typedoc, state, newstate, action);


--
-- Name: maindocaction_typedoc; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX maindocaction_typedoc ON public.maindocaction USING btree (typedoc);


--
-- Name: maindocgraphic_key; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX maindocgraphic_key ON public.maindocgraphic USING btree (grp, type);


--
-- Name: maindocmove_key; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX maindocmove_key ON public.maindocmove USING btree (typedoc, state, newstate);


--
-- Name: maindocmove_typedoc; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX maindocmove_typedoc ON public.maindocmove USING btree (typedoc);


--
-- Name: maindocstate_typedoc; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX maindocstate_typedoc ON public.maindocstate USING btree (typedoc, grp, state);


--
-- Name: struct_gr_firm_code; Type: INDEX; Schema: public; Owner: -
--

CREATE INDEX struct_gr_firm_code ON public.struct_gr USING btree (id_firm, struct_code);


--
-- PostgreSQL database dump complete
--


